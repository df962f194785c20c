// The about box: dialog 1 of the module, modal on the calling thread.
#pragma once

#include <windows.h>

namespace ocuvant::ocx {

void ShowAboutBox(HWND owner);

}  // namespace ocuvant::ocx
