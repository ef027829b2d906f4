#pragma once

#include <string>
#include <vector>

namespace kestro {

// A popup menu's items and the user's choice (-1 until something is chosen).
struct PopupMenuModel {
  static constexpr int kItemTicked = 4;

  struct Item {
    std::string text;
    int flags = 0;
  };

  std::vector<Item> items;
  int chosen = -1;

  void AddItem(std::string text, int flags = 0) { items.push_back({std::move(text), flags}); }
};

}  // namespace kestro
