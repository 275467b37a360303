#include "platform/system.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "platform/message_box.h"
#include "test_root.h"

namespace platform {
namespace {

using platform_test::ScopedEnv;

struct LocaleCase {
  const char* lc_all;
  const char* lc_messages;
  const char* lang;
  uint16_t expected;
};

class LanguageIdTest : public ::testing::TestWithParam<LocaleCase> {};

std::optional<std::string> Opt(const char* value) {
  return value != nullptr ? std::optional<std::string>(value) : std::nullopt;
}

TEST_P(LanguageIdTest, ComesFromTheFirstSetLocaleVariable) {
  const LocaleCase& c = GetParam();
  ScopedEnv override_id("SETUP_LANGID", std::nullopt);
  ScopedEnv all("LC_ALL", Opt(c.lc_all));
  ScopedEnv messages("LC_MESSAGES", Opt(c.lc_messages));
  ScopedEnv lang("LANG", Opt(c.lang));
  EXPECT_EQ(GetSystemDefaultLangId(), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Locales, LanguageIdTest,
    ::testing::Values(LocaleCase{nullptr, nullptr, "cs_CZ.UTF-8", 0x0405},
                      LocaleCase{nullptr, nullptr, "en_GB.UTF-8", 0x0809},
                      LocaleCase{nullptr, nullptr, "de_DE@euro", 0x0407},
                      LocaleCase{nullptr, nullptr, "es_ES", 0x0C0A},
                      LocaleCase{nullptr, nullptr, "sk", 0x041B},
                      LocaleCase{nullptr, nullptr, "pt_XX.UTF-8", 0x0416},  // language only
                      LocaleCase{"fr_FR.UTF-8", "ru_RU", "cs_CZ", 0x040C},
                      LocaleCase{"", "pl_PL.UTF-8", "cs_CZ", 0x0415},  // empty is unset
                      LocaleCase{nullptr, nullptr, "C.UTF-8", 0x0409},
                      LocaleCase{nullptr, nullptr, nullptr, 0x0409}));

TEST(LanguageIdOverrideTest, SetupLangIdIsHex) {
  ScopedEnv lang("LANG", std::string("cs_CZ.UTF-8"));
  ScopedEnv all("LC_ALL", std::nullopt);
  {
    ScopedEnv override_id("SETUP_LANGID", std::string("0809"));
    EXPECT_EQ(GetSystemDefaultLangId(), 0x0809);
  }
  ScopedEnv bad("SETUP_LANGID", std::string("zz"));
  EXPECT_EQ(GetSystemDefaultLangId(), 0x0405);
}

TEST(SystemInfoTest, ReportsThisMachine) {
  const OsVersion version = GetOsVersion();
  EXPECT_FALSE(version.product_name.empty());
  EXPECT_GT(version.major, 0u);
  EXPECT_GT(PhysicalMemoryBytes(), AvailableMemoryBytes());
  EXPECT_GT(AvailableMemoryBytes(), 0u);
  const uint64_t first = ReadTimeStampCounter();
  Sleep(2);
  EXPECT_GT(ReadTimeStampCounter(), first);
  ScopedEnv probe("SETUPKIT_PROBE", std::string("a=b"));
  const auto strings = EnvironmentStrings();
  EXPECT_NE(std::find(strings.begin(), strings.end(), "SETUPKIT_PROBE=a=b"), strings.end());
  EXPECT_EQ(GetEnvironmentVariable("SETUPKIT_PROBE"), "a=b");
  ScopedEnv no_user("USER", std::nullopt);
  EXPECT_EQ(GetUserName(), "user");
}

TEST(MessageBoxTest, ScriptedPresenterRecordsAndAnswersInOrder) {
  auto scripted = std::make_shared<ScriptedPresenter>();
  SetPresenter(scripted);
  scripted->QueueAnswer(kIdCancel);
  EXPECT_EQ(MessageBox("Continue?", "Setup", kMbOkCancel | kMbIconQuestion), kIdCancel);
  EXPECT_EQ(MessageBox("Again?", "Setup", kMbOkCancel), kIdOk);  // queue empty
  EXPECT_EQ(MessageBox("Sure?", "Setup", kMbYesNo), kIdYes);
  EXPECT_EQ(MessageBoxWide(u"Gr\u00FC\u00DFe \u20AC \u0416", u"Cap", kMbOk), kIdOk);
  const auto shown = scripted->Messages();
  ASSERT_EQ(shown.size(), 4u);
  EXPECT_EQ(shown[0].text, "Continue?");
  EXPECT_EQ(shown[0].flags, kMbOkCancel | kMbIconQuestion);
  EXPECT_EQ(shown[3].text,
            "Gr\xFC\xDF"
            "e \x80 ?");
  EXPECT_EQ(shown[3].caption, "Cap");
  SetPresenter(nullptr);  // back to the unattended presenter
  EXPECT_NE(dynamic_cast<UnattendedPresenter*>(GetPresenter().get()), nullptr);
}

TEST(MessageBoxTest, UnattendedAnswersNeverLoop) {
  UnattendedPresenter presenter;
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(presenter.Show("t", "c", kMbOk), kIdOk);
  EXPECT_EQ(presenter.Show("t", "c", kMbOkCancel), kIdOk);
  EXPECT_EQ(presenter.Show("t", "c", kMbYesNo), kIdYes);
  EXPECT_EQ(presenter.Show("t", "c", kMbYesNoCancel), kIdYes);
  EXPECT_EQ(presenter.Show("Disk full \x80", "Error", kMbRetryCancel | kMbIconError), kIdCancel);
  const std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("Error: Disk full \xE2\x82\xAC\n"), std::string::npos);
}

}  // namespace
}  // namespace platform
