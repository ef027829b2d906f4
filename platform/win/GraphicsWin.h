#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "graphics/GraphicsCore.h"

namespace kestro {

// The editor in a Win32 child window of the host's window. A 40 ms timer
// (at 25 frames per second) collects what is dirty and invalidates it; the
// paint handler redraws that region into the DIB section and copies it to
// the window. Mouse and keyboard messages become the core's input calls.
// Text entry is a standard EDIT box over the control; menus, message boxes
// and the common dialogs are modal on the editor's thread.
//
// Everything runs on the thread that owns the window (the host's UI thread).
class GraphicsWin : public GraphicsCore {
 public:
  static constexpr const char* kWindowClass = "KestroEditorWindow";
  static constexpr UINT_PTR kTimerId = 2;
  static constexpr int kEntryControlId = 99;
  // Menus can number at most this many items (a command id is 16 bits).
  static constexpr int kMaxMenuNumbers = 0xFFFF;
  static constexpr int kMaxMenuDepth = 16;
  // Menu item texts longer than this are cut.
  static constexpr size_t kMaxMenuText = 255;

  enum class EntryState { Idle = 0, Editing = 1, Redrawn = 2, Cancel = 3, Commit = 4 };

  GraphicsWin(PluginCore* plugin, int width, int height, int frameRate);
  ~GraphicsWin() override;

  bool PresentRegion(const PixelRect& rect) override;
  void CancelTextEntry() override;
  void WindowSizeChanged() override;
  double SystemScaleFor(void* parent) const override;
  bool IsWindowOpen() const override { return window_ != nullptr; }
  const char* PlatformApiName() const override { return "Windows GDI"; }
  int ShowAlert(const char* text, const char* caption, int type) override;
  PopupMenuModel* ShowPopupMenu(PopupMenuModel& menu, const PixelRect& area) override;
  void ShowTextEntry(Control* control, const TextStyle& style, const PixelRect& rect, const char* text,
                     int paramIndex) override;
  void HostDirectory(std::string& path) override;
  void ModuleDirectory(std::string& path) override;
  void DesktopDirectory(std::string& path) override;
  void AppDataDirectory(std::string& path, bool shared) override;
  void ChooseFile(std::string& path, bool save, const char* directory, const char* extensions) override;
  bool PickColour(ArgbColor& colour, const char* prompt) override;
  bool OpenWebLink(const char* url, const char* caption, const char* confirm, const char* error) override;
  bool SupportsWindowType(const char* type) const override;
  void* OpenEditorWindow(void* parent) override;
  void CloseEditorWindow() override;
  void* WindowHandle() const override { return window_; }
  bool ClipboardText(std::string& text) override;
  void HidePointer() override;
  void ShowPointer() override;

  // For tests: the open text entry's box and state.
  HWND EntryWindow() const { return entry_; }
  EntryState TextEntryState() const { return entryState_; }
  // Editor windows open in this module, across all editors.
  static int OpenWindowCount();

  // The file dialog's filter for a space-separated list of extensions: the
  // pattern ("*.png;*.bmp") twice, each ending in a NUL, then a final NUL.
  // Empty when there are no extensions; patterns that do not fit the
  // dialog's 256-byte buffer are left out whole.
  static std::string FileFilter(const char* extensions, std::string& defaultExtension);

 private:
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK EntryProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  static GraphicsWin* FromWindow(HWND hwnd);

  LRESULT HandleMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  LRESULT HandleEntryMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  void Tick();
  void TextEntryStep();
  void CommitTextEntry();
  void CloseTextEntry();
  // The window is gone (closed by us, or with the host's parent).
  void WindowDestroyed();
  LRESULT PassKeyOn(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  HWND AlertOwner() const;

  HINSTANCE instance_ = nullptr;
  HWND window_ = nullptr;
  HWND hostParent_ = nullptr;
  bool counted_ = false;  // this editor's window is in the module's count

  HWND entry_ = nullptr;
  Control* entryControl_ = nullptr;
  int entryParam_ = -1;
  WNDPROC entryProc_ = nullptr;
  HFONT entryFont_ = nullptr;
  EntryState entryState_ = EntryState::Idle;

  std::vector<COLORREF> customColours_;

  bool cursorHidden_ = false;
  POINT cursorPosition_ = {-1, -1};
};

}  // namespace kestro
