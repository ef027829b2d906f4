#include "graphics/raster/ImageLoaderRegistry.h"

#include "graphics/raster/PngDecoder.h"

namespace kestro {

namespace {

std::unique_ptr<Bitmap> LoadPng(const char* path, bool checkExtension) { return LoadPngFile(path, checkExtension); }

bool LoadPngInto(const char* path, bool checkExtension, Bitmap& reuse) {
  return LoadPngFile(path, checkExtension, reuse);
}

const char* PngDescription() { return "PNG files (*.PNG)"; }

}  // namespace

ImageLoader& PngFileLoader() {
  static ImageLoader loader{LoadPng, LoadPngInto, PngDescription, nullptr};
  return loader;
}

ImageLoaderRegistry& ImageLoaderRegistry::Module() {
  static ImageLoaderRegistry registry;
  static const bool registered = registry.Push(PngFileLoader());
  (void)registered;
  return registry;
}

bool ImageLoaderRegistry::Push(ImageLoader& loader) {
  std::lock_guard<std::mutex> guard(lock_);
  // A loader carries its own link: pushing it twice would make a cycle.
  if (loader.next != nullptr) return false;
  for (const ImageLoader* entry = head_; entry != nullptr; entry = entry->next) {
    if (entry == &loader) return false;
  }
  loader.next = head_;
  head_ = &loader;
  return true;
}

const ImageLoader* ImageLoaderRegistry::Head() {
  std::lock_guard<std::mutex> guard(lock_);
  return head_;
}

std::unique_ptr<Bitmap> ImageLoaderRegistry::Load(const char* path, bool checkExtension) {
  for (const ImageLoader* loader = Head(); loader != nullptr; loader = loader->next) {
    if (loader->load == nullptr) continue;
    if (std::unique_ptr<Bitmap> bitmap = loader->load(path, checkExtension)) return bitmap;
  }
  return nullptr;
}

bool ImageLoaderRegistry::LoadInto(const char* path, bool checkExtension, Bitmap& reuse) {
  for (const ImageLoader* loader = Head(); loader != nullptr; loader = loader->next) {
    if (loader->loadInto != nullptr && loader->loadInto(path, checkExtension, reuse)) return true;
  }
  return false;
}

}  // namespace kestro
