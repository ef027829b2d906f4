#pragma once

#include <xcb/shm.h>
#include <xcb/xcb.h>

#include <cstdint>

#include "graphics/PixelRect.h"

namespace kestro {

class Bitmap;

// A System V shared-memory image the X server reads from (MIT-SHM): a paint
// becomes a small request naming the segment instead of the pixels travelling
// through the socket. Only a server on this machine can attach the segment;
// elsewhere Attach fails and the window sends its pixels the ordinary way.
//
// The segment is marked for removal as soon as the server holds it, so it
// cannot outlive the process even if it dies without detaching.
class X11SharedImage {
 public:
  X11SharedImage() = default;
  ~X11SharedImage();
  X11SharedImage(const X11SharedImage&) = delete;
  X11SharedImage& operator=(const X11SharedImage&) = delete;

  // Makes a width x height segment and has the server attach it; false
  // (and nothing held) when the server lacks the extension or cannot attach.
  bool Attach(xcb_connection_t* connection, int width, int height);
  // Detaches both sides. The server side only while connection is healthy;
  // a broken connection already lost it.
  void Release(xcb_connection_t* connection);

  bool Attached() const { return pixels_ != nullptr; }
  int Width() const { return width_; }
  int Height() const { return height_; }

  // Copies region of bitmap (which must lie inside both the bitmap and the
  // segment) into the segment and has the server draw it at the same place
  // in drawable. swapBytes reverses each pixel's bytes for the server.
  void Put(xcb_connection_t* connection, xcb_drawable_t drawable, xcb_gcontext_t gc, uint8_t depth,
           const Bitmap& bitmap, const PixelRect& region, bool swapBytes);
  // Takes the server's word that it has read the last put; false for any
  // other event.
  bool HandleEvent(const xcb_generic_event_t* event);

 private:
  uint32_t* pixels_ = nullptr;
  int width_ = 0;
  int height_ = 0;
  xcb_shm_seg_t segment_ = 0;
  uint8_t completionEvent_ = 0;
  // The server may still be reading the last put (sent as request
  // putSequence_): the next one waits for its completion event, or for a
  // round trip when the event has not come yet.
  bool putPending_ = false;
  uint32_t putSequence_ = 0;
};

}  // namespace kestro
