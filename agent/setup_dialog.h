#pragma once
// The Options dialog.
#include "common/framework/window.h"

class CSetupDialog : public zu::Dialog {
 public:
  CSetupDialog();

 protected:
  BOOL OnInitDialog() override;
};
