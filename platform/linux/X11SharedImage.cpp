#include "platform/linux/X11SharedImage.h"

#include <sys/ipc.h>
#include <sys/shm.h>

#include <cstdlib>
#include <cstring>

#include "graphics/raster/Bitmap.h"

namespace kestro {

namespace {

// Waits until the server has handled every request sent so far.
void Sync(xcb_connection_t* connection) {
  std::free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
}

}  // namespace

X11SharedImage::~X11SharedImage() {
  // Without a connection only our side can go; the server's mapping ends
  // with its connection.
  if (pixels_ != nullptr) shmdt(pixels_);
}

bool X11SharedImage::Attach(xcb_connection_t* connection, int width, int height) {
  Release(connection);
  if (width <= 0 || height <= 0) return false;
  const xcb_query_extension_reply_t* extension = xcb_get_extension_data(connection, &xcb_shm_id);
  if (extension == nullptr || extension->present == 0) return false;

  const size_t bytes = static_cast<size_t>(width) * static_cast<size_t>(height) * sizeof(uint32_t);
  const int id = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
  if (id < 0) return false;
  void* address = shmat(id, nullptr, 0);
  if (address == reinterpret_cast<void*>(-1)) {
    shmctl(id, IPC_RMID, nullptr);
    return false;
  }
  const xcb_shm_seg_t segment = xcb_generate_id(connection);
  xcb_generic_error_t* error =
      xcb_request_check(connection, xcb_shm_attach_checked(connection, segment, static_cast<uint32_t>(id), 0));
  // Attached or not, the segment is freed once the last side lets go.
  shmctl(id, IPC_RMID, nullptr);
  if (error != nullptr) {
    std::free(error);
    shmdt(address);
    return false;
  }
  pixels_ = static_cast<uint32_t*>(address);
  width_ = width;
  height_ = height;
  segment_ = segment;
  completionEvent_ = static_cast<uint8_t>(extension->first_event + XCB_SHM_COMPLETION);
  putPending_ = false;
  return true;
}

void X11SharedImage::Release(xcb_connection_t* connection) {
  if (pixels_ == nullptr) return;
  if (connection != nullptr && xcb_connection_has_error(connection) == 0) {
    xcb_shm_detach(connection, segment_);
    // The server must be done with the memory before it goes.
    Sync(connection);
  }
  shmdt(pixels_);
  pixels_ = nullptr;
  width_ = height_ = 0;
  segment_ = 0;
  putPending_ = false;
}

void X11SharedImage::Put(xcb_connection_t* connection, xcb_drawable_t drawable, xcb_gcontext_t gc, uint8_t depth,
                         const Bitmap& bitmap, const PixelRect& region, bool swapBytes) {
  if (pixels_ == nullptr || region.Width() <= 0 || region.Height() <= 0) return;
  // Writing over pixels the server has not read yet would tear the last
  // paint. A frame apart the completion has long arrived; two puts in one
  // frame cost a round trip.
  if (putPending_) Sync(connection);
  const auto columns = static_cast<size_t>(region.Width());
  for (int y = region.top; y < region.bottom; ++y) {
    uint32_t* to = pixels_ + static_cast<size_t>(y) * static_cast<size_t>(width_) + region.left;
    std::memcpy(to, bitmap.Row(y) + region.left, columns * sizeof(uint32_t));
    if (swapBytes) {
      for (size_t x = 0; x < columns; ++x) to[x] = __builtin_bswap32(to[x]);
    }
  }
  const xcb_void_cookie_t cookie = xcb_shm_put_image(connection, drawable, gc, static_cast<uint16_t>(width_), static_cast<uint16_t>(height_),
                    static_cast<uint16_t>(region.left), static_cast<uint16_t>(region.top),
                    static_cast<uint16_t>(region.Width()), static_cast<uint16_t>(region.Height()),
                    static_cast<int16_t>(region.left), static_cast<int16_t>(region.top), depth,
                    XCB_IMAGE_FORMAT_Z_PIXMAP, 1, segment_, 0);
  putSequence_ = cookie.sequence;
  putPending_ = true;
}

bool X11SharedImage::HandleEvent(const xcb_generic_event_t* event) {
  if (pixels_ == nullptr || (event->response_type & 0x7f) != completionEvent_) return false;
  // Completions of earlier puts (already waited for) change nothing.
  if (event->full_sequence == putSequence_) putPending_ = false;
  return true;
}

}  // namespace kestro
