#pragma once

#include <memory>
#include <mutex>

#include "graphics/raster/Bitmap.h"

namespace kestro {

// One file format the registry can load. Entries are static and form a
// singly linked list through next; the registry never owns them.
struct ImageLoader {
  std::unique_ptr<Bitmap> (*load)(const char* path, bool checkExtension);
  bool (*loadInto)(const char* path, bool checkExtension, Bitmap& reuse);
  const char* (*typeDescription)();
  const ImageLoader* next;
};

// Module-wide list of image file loaders, newest first. The PNG loader is
// registered when the module-wide registry is first used.
class ImageLoaderRegistry {
 public:
  ImageLoaderRegistry() = default;
  ImageLoaderRegistry(const ImageLoaderRegistry&) = delete;
  ImageLoaderRegistry& operator=(const ImageLoaderRegistry&) = delete;

  static ImageLoaderRegistry& Module();

  // Pushes loader at the head; a loader already linked is refused.
  bool Push(ImageLoader& loader);
  const ImageLoader* Head();

  // The first loader (from the head) that succeeds, or none.
  std::unique_ptr<Bitmap> Load(const char* path, bool checkExtension);
  bool LoadInto(const char* path, bool checkExtension, Bitmap& reuse);

 private:
  std::mutex lock_;
  const ImageLoader* head_ = nullptr;
};

// The PNG file loader ("PNG files (*.PNG)").
ImageLoader& PngFileLoader();

}  // namespace kestro
