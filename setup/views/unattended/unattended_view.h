// The unattended view: a session shown to nobody. It builds no widget; status lines are printed
// on standard output, and the session is driven with every default to its end.
#pragma once

#include <memory>

#include "setup/session/front_end.h"
#include "setup/session/wizard_session.h"
#include "setup/session/wizard_view.h"

namespace setup_unattended {

class UnattendedView : public setup_session::WizardView {
 public:
  void PageSelected(int) override {}
  void ButtonsChanged(const setup_session::ButtonState&) override {}
  std::shared_ptr<ProgressTextSink> StatusLineSink() override;
  std::shared_ptr<ProgressTextSink> SecondStatusLineSink() override;
  std::shared_ptr<ProgressGaugeSink> GaugeSink() override;
};

// The front end of `setup --unattended`: no presenter of its own (message boxes go to the
// console), no verification display, the unattended view. A licence page is accepted only with
// `accept_license`.
std::unique_ptr<setup_session::WizardFrontEnd> CreateUnattendedFrontEnd(bool accept_license);

}  // namespace setup_unattended
