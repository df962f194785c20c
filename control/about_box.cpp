#include "control/ocuvant_ctrl.h"
#include "platform/message_box.h"

namespace ocuvant::control {

void COcuvantCtrl::AboutBox() {
  platform::ShowMessageBox("Ocuvant iris enrollment and identification control, version 1.0",
                           "About Ocuvant");
}

}  // namespace ocuvant::control
