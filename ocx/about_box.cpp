#include "ocx/about_box.h"

#include "ocx/module.h"

namespace ocuvant::ocx {

namespace {

INT_PTR CALLBACK AboutProc(HWND dialog, UINT msg, WPARAM wParam, LPARAM) {
  if (msg == WM_INITDIALOG) return TRUE;
  if (msg == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
    EndDialog(dialog, LOWORD(wParam));
    return TRUE;
  }
  return FALSE;
}

}  // namespace

void ShowAboutBox(HWND owner) {
  DialogBoxParamW(Module(), MAKEINTRESOURCEW(kDialogAbout), owner, AboutProc, 0);
}

}  // namespace ocuvant::ocx
