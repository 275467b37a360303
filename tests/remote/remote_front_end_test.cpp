// The runtime's side of the window program, driven over a real socket by a scripted window in a
// thread of the test: the window's clicks walk the session, its answers decide the quit
// question, clicks its buttons no longer allow do nothing, and a window that goes away cancels
// the run and fails it instead of leaving the runtime waiting.
#include "setup/views/remote/remote_front_end.h"

#include <functional>
#include <thread>

#include "common/package_fixture.h"
#include "platform/message_box.h"
#include "setup/session/wizard_session.h"
#include "setup/views/remote/window_program.h"

namespace setup_remote {
namespace {

using setup_session::MakeViewRecord;
using setup_session::PageKind;

class InstantRunner : public setup_session::RunnerLink {
 public:
  void RequestRun() override { ++runs; }
  bool RunRequested() const override { return false; }
  void StopAndJoin() override {}
  int runs = 0;
};

// The window's end: it reads every record and hands it to the script, which may answer.
class ScriptedWindow {
 public:
  using Script = std::function<void(ScriptedWindow&, const ViewRecord&)>;
  ScriptedWindow(platform::Channel channel, Script script)
      : channel_(std::move(channel)), script_(std::move(script)) {
    thread_ = std::thread([this] { Loop(); });
  }
  ~ScriptedWindow() { Join(); }
  void Join() {
    if (thread_.joinable()) thread_.join();
  }
  void Send(const ViewRecord& record) { channel_.SendAll(setup_session::EncodeViewRecord(record)); }
  // Closes the window's end as a crashed window program would.
  void Vanish() { channel_.Close(); }
  // Whether the runtime sends nothing for `ms` milliseconds (what it sends is still read).
  bool QuietFor(int ms) {
    std::string bytes;
    if (channel_.Read(bytes, ms) != platform::Channel::ReadStatus::kData) return true;
    reader_.Append(bytes);
    return false;
  }

  std::vector<ViewRecord> seen;
  setup_session::ButtonState buttons;

 private:
  void Loop() {
    while (channel_.IsOpen()) {
      while (std::optional<ViewRecord> record = reader_.Next()) {
        if (record->type == ViewRecordType::kButtonsChanged) {
          buttons.next_visible = record->Number(1) != 0;
          buttons.next_enabled = record->Number(2) != 0;
        }
        seen.push_back(*record);
        script_(*this, *record);
        if (!channel_.IsOpen()) return;
      }
      std::string bytes;
      if (channel_.Read(bytes, -1) != platform::Channel::ReadStatus::kData) break;
      reader_.Append(bytes);
    }
    channel_.Close();  // as the window program ends once the runtime has stopped sending
  }
  platform::Channel channel_;
  setup_session::ViewRecordReader reader_;
  Script script_;
  std::thread thread_;
};

class RemoteFrontEndTest : public PackageFixture {
 protected:
  void SetUp() override {
    PackageFixture::SetUp();
    SetUpDemoProduct();
    AddStockLanguage("install\\english");
    OpenPackage(0x0409);
  }

  // Runs the wizard against `script`; answers Run()'s result.
  bool RunWith(ScriptedWindow::Script script, RemoteOptions options = {}) {
    auto pair = platform::Channel::SocketPair();
    EXPECT_TRUE(pair.has_value());
    auto link =
        std::make_shared<WindowLink>(std::move(pair->first), setup_session::ViewRecordReader());
    window_ = std::make_unique<ScriptedWindow>(std::move(pair->second), std::move(script));
    auto runner = std::make_unique<InstantRunner>();
    InstantRunner* runner_view = runner.get();
    front_end_ = CreateRemoteFrontEnd(link, nullptr, options, std::move(runner));
    platform::SetPresenter(front_end_->Presenter());
    const bool went_on = front_end_->Run();
    ended_on_finish_ = front_end_->Session().ClosedOnFinish();
    runs_ = runner_view->runs;
    const std::vector<setup_session::WizardPage> pages = front_end_->Session().Pages();
    front_end_.reset();  // ends sending: the window's end reads the end of the stream
    window_->Join();
    kinds_seen_.clear();
    for (int page : Pages(ViewRecordType::kPageSelected)) kinds_seen_.push_back(pages[page].kind);
    return went_on;
  }
  std::vector<int> Pages(ViewRecordType type) const {
    std::vector<int> pages;
    for (const ViewRecord& record : window_->seen) {
      if (record.type == type) pages.push_back(record.Number(0));
    }
    return pages;
  }
  size_t Count(ViewRecordType type) const {
    size_t count = 0;
    for (const ViewRecord& record : window_->seen) count += record.type == type;
    return count;
  }

  std::unique_ptr<ScriptedWindow> window_;
  std::unique_ptr<setup_session::WizardFrontEnd> front_end_;
  int runs_ = 0;  // install runs the session asked of its runner
  bool ended_on_finish_ = false;
  std::vector<PageKind> kinds_seen_;
};

// Presses Next whenever a page has been shown and Next can be pressed; closes the Finish page.
void ClickThrough(ScriptedWindow& window, const ViewRecord& record) {
  if (record.type != ViewRecordType::kPageShown) return;
  if (window.buttons.next_visible && window.buttons.next_enabled) {
    window.Send(MakeViewRecord(ViewRecordType::kNext));
  } else if (!window.buttons.next_visible) {
    // The Finish page: clicks on buttons that are gone first, then the close box.
    window.Send(MakeViewRecord(ViewRecordType::kNext));
    window.Send(MakeViewRecord(ViewRecordType::kBack));
    window.Send(MakeViewRecord(ViewRecordType::kRequestClose));
  }
}

TEST_F(RemoteFrontEndTest, TheWindowsClicksWalkThePagesAndItsCloseEndsTheWizard) {
  EXPECT_TRUE(RunWith(ClickThrough));
  EXPECT_TRUE(ended_on_finish_);
  EXPECT_EQ(runs_, 1);
  EXPECT_EQ(kinds_seen_.front(), PageKind::Welcome);
  EXPECT_EQ(kinds_seen_.back(), PageKind::Finish);  // the stale Next and Back did nothing
  // The pages went up once, with the figures before them, and the window heard the end.
  ASSERT_GE(window_->seen.size(), 3u);
  EXPECT_EQ(window_->seen[0].type, ViewRecordType::kFigures);
  EXPECT_EQ(window_->seen[1].type, ViewRecordType::kPagesUp);
  EXPECT_EQ(Count(ViewRecordType::kPagesUp), 1u);
  EXPECT_EQ(Count(ViewRecordType::kRunStarted), 1u);
  EXPECT_EQ(window_->seen.back().type, ViewRecordType::kSessionEnded);
}

TEST_F(RemoteFrontEndTest, TheQuitQuestionIsAskedInTheWindowAndItsAnswerDecides) {
  int questions = 0;
  EXPECT_TRUE(RunWith([&](ScriptedWindow& window, const ViewRecord& record) {
    if (record.type == ViewRecordType::kPageShown && questions == 0) {
      window.Send(MakeViewRecord(ViewRecordType::kRequestClose));
    } else if (record.type == ViewRecordType::kShowMessage) {
      ++questions;
      EXPECT_EQ(record.Number(1) & platform::kMbButtonMask, platform::kMbYesNo);
      // No the first time (the wizard stays and Next goes on), yes the second.
      window.Send(
          MakeViewRecord(ViewRecordType::kAnswer,
                         {record.Number(0), questions == 1 ? platform::kIdNo : platform::kIdYes}));
      if (questions == 1) {
        window.Send(MakeViewRecord(ViewRecordType::kNext));
        window.Send(MakeViewRecord(ViewRecordType::kRequestClose));
      }
    }
  }));
  EXPECT_EQ(questions, 2);
  EXPECT_FALSE(ended_on_finish_);
  EXPECT_EQ(runs_, 0);
  ASSERT_EQ(kinds_seen_.size(), 2u);
  EXPECT_EQ(kinds_seen_[1], PageKind::Changelog);
  EXPECT_EQ(window_->seen.back().type, ViewRecordType::kSessionEnded);
}

TEST_F(RemoteFrontEndTest, AWindowThatGoesAwayCancelsAndFailsTheRun) {
  EXPECT_FALSE(RunWith([](ScriptedWindow& window, const ViewRecord& record) {
    if (record.type == ViewRecordType::kPageShown) window.Vanish();
  }));
  EXPECT_TRUE(SetupState::Instance().CancelRequested());
  EXPECT_FALSE(ended_on_finish_);
  EXPECT_EQ(runs_, 0);
  // A message asked once the window is gone is answered, not waited for.
  EXPECT_EQ(platform::MessageBox("after", "Setup", platform::kMbYesNo), platform::kIdYes);
}

TEST_F(RemoteFrontEndTest, WithScreenshotsEveryPageWaitsForItsPicture) {
  int pictures = 0;
  RemoteOptions options;
  options.screenshots = true;
  EXPECT_TRUE(RunWith(
      [&](ScriptedWindow& window, const ViewRecord& record) {
        if (record.type != ViewRecordType::kPageShown) return;
        ASSERT_NE(record.Number(1), 0);
        // Taking the picture: the session must not move on (nor a run start changing the
        // machine) until the window says the picture is taken, whatever was clicked.
        window.Send(MakeViewRecord(ViewRecordType::kNext));
        EXPECT_TRUE(window.QuietFor(50)) << "page " << record.Number(0);
        ++pictures;
        window.Send(MakeViewRecord(ViewRecordType::kAnswer, {record.Number(1), 0}));
        ClickThrough(window, record);
      },
      options));
  EXPECT_TRUE(ended_on_finish_);
  EXPECT_EQ(static_cast<size_t>(pictures), Count(ViewRecordType::kPageShown));
  EXPECT_EQ(kinds_seen_.back(), PageKind::Finish);
}

}  // namespace
}  // namespace setup_remote
