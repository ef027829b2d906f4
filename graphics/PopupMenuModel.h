#pragma once

#include <memory>
#include <string>
#include <vector>

namespace kestro {

// A popup menu's items and the user's choice (-1 until something is chosen).
// An item may open a submenu; the choice is written into the menu (or
// submenu) that holds the chosen item.
struct PopupMenuModel {
  static constexpr int kItemGreyed = 1;
  static constexpr int kItemDisabled = 2;
  static constexpr int kItemTicked = 4;
  static constexpr int kItemSeparator = 8;

  struct Item {
    std::string text;
    int flags = 0;
    // Shared so that menus stay copyable (the headless editor keeps copies).
    std::shared_ptr<PopupMenuModel> submenu;
  };

  std::vector<Item> items;
  int chosen = -1;
  // 0: texts as they are; 1, 2, 3: prefixed with the item's 1-based
  // position in as many digits ("1: ", "01: ", "001: ").
  int numbering = 0;

  void AddItem(std::string text, int flags = 0) { items.push_back({std::move(text), flags, nullptr}); }
  void AddSeparator() { items.push_back({std::string(), kItemSeparator, nullptr}); }
  // Returns the new submenu, owned by this menu.
  PopupMenuModel& AddSubmenu(std::string text) {
    items.push_back({std::move(text), 0, std::make_shared<PopupMenuModel>()});
    return *items.back().submenu;
  }
};

}  // namespace kestro
