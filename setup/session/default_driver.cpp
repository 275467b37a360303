#include "setup/session/default_driver.h"

#include <cstdio>
#include <string>

#include "platform/text_encoding.h"
#include "setup/core/run_log.h"
#include "setup/core/setup_state.h"
#include "setup/session/wizard_session.h"

namespace setup_session {

namespace {

// Says why Next could not be pressed on the current page.
void ReportStuck(const WizardSession& session, PageKind kind) {
  if (kind == PageKind::License) {
    std::fprintf(stderr,
                 "setup: the license agreement is not accepted (add --accept-license to accept "
                 "it)\n");
    RunLog("the license agreement is not accepted");
    return;
  }
  if (!session.TargetProblem().empty()) {
    std::fprintf(stderr, "setup: %s\n", session.TargetProblem().c_str());
    RunLog(session.TargetProblem());
    return;
  }
  // Why the folder cannot be used, in the user's terms, when the folder check said so.
  const std::string reason = kind == PageKind::Patch ? "not enough free space in the install folder"
                             : !session.FolderProblemText().empty()
                                 ? session.FolderProblemText()
                                 : "the install folder cannot be used";
  std::fprintf(stderr, "setup: cannot go on from the %s page (%s)\n", PageKindName(kind),
               platform::Cp1252ToUtf8(reason).c_str());
  RunLog(std::string("cannot go on from the ") + PageKindName(kind) + " page: " + reason);
}

}  // namespace

DriveResult DriveWithDefaults(WizardSession& session, const std::function<void()>& idle,
                              bool accept_license) {
  SetupState& state = SetupState::Instance();
  while (!session.Ended()) {
    if (state.CancelRequested() && !session.Working()) {
      session.RequestClose();
      break;
    }
    std::optional<PageKind> kind = session.CurrentKind();
    if (!kind || *kind == PageKind::Finish) {
      session.RequestClose();
    } else if (*kind == PageKind::License && accept_license && !session.LicenseAccepted()) {
      if (!session.AcceptLicense()) {
        ReportStuck(session, *kind);
        return DriveResult::kStuck;
      }
    } else if (session.CanGoOn()) {
      session.Next();
    } else {
      ReportStuck(session, *kind);
      return DriveResult::kStuck;
    }
    if (idle) idle();
  }
  return DriveResult::kEnded;
}

}  // namespace setup_session
