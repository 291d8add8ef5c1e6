// SPDX-License-Identifier: MIT
// The Russian messages of the desktop front ends, literal in, literal out.
#include "desktop/user_message.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sgf/utf8.h"
#include "tests/support/test_support.h"

namespace varnoket::desktop {
namespace {

namespace fs = std::filesystem;

using test::Numbered;
using Icon = UserMessage::Icon;
using Field = UserMessage::Field;

std::u16string U16(const std::string& utf8) {
  std::u16string text;
  DecodeUtf8(utf8, &text);
  return text;
}

std::string Text(const UserMessage& message) { return test::Utf8(message.text); }

// A path as UTF-8, the same way on every platform.
std::string Shown(const fs::path& path) { return test::Utf8(path.u16string()); }

TEST(UserMessageTest, CheckBeforeRunNamesTheFirstProblemAndItsField) {
  test::TempFolder temp;
  const fs::path games = temp / fs::path(u"Партии");
  fs::create_directories(games);
  fs::create_directories(temp / "out");
  test::WriteBytes(temp / "file.sgf", "x");
  const std::string gamesText = Shown(games);
  const std::string outText = Shown(temp / "out");
  const std::string missing = Shown(temp / fs::path(u"нет"));
  const std::string file = Shown(temp / "file.sgf");

  struct Case {
    std::string source;
    std::string destination;
    std::string text;
    Icon icon;
    Field focus;
  };
  const std::vector<Case> cases = {
      {"", "", "Укажите папку с исходными файлами.", Icon::Warning, Field::Source},
      {"", outText, "Укажите папку с исходными файлами.", Icon::Warning, Field::Source},
      {gamesText, "", "Укажите папку для результата.", Icon::Warning, Field::Destination},
      {missing, "", "Укажите папку для результата.", Icon::Warning, Field::Destination},
      {missing, outText, "Папка с исходными файлами не найдена:\n" + missing, Icon::Warning,
       Field::Source},
      {file, outText, "Папка с исходными файлами не найдена:\n" + file, Icon::Warning,
       Field::Source},
      {gamesText, missing, "Папка для результата не найдена:\n" + missing, Icon::Warning,
       Field::Destination},
      {gamesText, outText, "", Icon::None, Field::None},
      {gamesText, gamesText, "", Icon::None, Field::None},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.source + " -> " + c.destination);
    const UserMessage message = CheckBeforeRun(U16(c.source), U16(c.destination));
    EXPECT_EQ(Text(message), c.text);
    EXPECT_EQ(message.icon, c.icon);
    EXPECT_EQ(message.focus, c.focus);
  }
}

BatchReport Completed(std::size_t found, std::size_t cleaned, std::vector<std::string> failedNames,
                      FailureReason reason = FailureReason::NoGameFound) {
  BatchReport report;
  report.found = found;
  report.cleaned = cleaned;
  for (const std::string& name : failedNames) {
    report.failures.push_back({fs::path(U16(name)), reason, ""});
  }
  return report;
}

TEST(UserMessageTest, DescribeRunCountsTheFilesAndListsFailures) {
  std::vector<std::string> twelve;
  std::string listed;
  for (int i = 1; i <= 12; ++i) twelve.push_back(Numbered("g", i, ".sgf"));
  for (int i = 1; i <= 10; ++i) listed += Numbered("\ng", i, ".sgf — в файле нет игры");
  const std::vector<std::string> ten(twelve.begin(), twelve.begin() + 10);
  const std::string tenText =
      "Очистка завершена.\n\nОчищено файлов: 0 из 10.\nНе удалось очистить:" + listed;
  const std::string twelveText =
      "Очистка завершена.\n\nОчищено файлов: 3 из 15.\nНе удалось очистить:" + listed +
      "\n…и ещё 2.";

  // The source folder itself (an empty name) and a subfolder could not be listed.
  BatchReport folders = Completed(1, 1, {"", "закрытая"}, FailureReason::CannotReadFolder);
  folders.source = fs::path(U16("Игры"));

  struct Case {
    const char* what;
    BatchReport report;
    std::string text;
    Icon icon;
  };
  const std::vector<Case> cases = {
      {"all cleaned", Completed(7, 7, {}), "Очистка завершена.\n\nОчищено файлов: 7.", Icon::None},
      {"nothing found", Completed(0, 0, {}),
       "Очистка завершена.\n\nФайлы *.sgf в папке не найдены.", Icon::None},
      {"one unreadable", Completed(2, 1, {"старая.sgf"}, FailureReason::CannotRead),
       "Очистка завершена.\n\nОчищено файлов: 1 из 2.\nНе удалось очистить:\n"
       "старая.sgf — не удалось прочитать файл",
       Icon::Warning},
      {"one unwritable", Completed(1, 0, {"a.sgf"}, FailureReason::CannotWrite),
       "Очистка завершена.\n\nОчищено файлов: 0 из 1.\nНе удалось очистить:\n"
       "a.sgf — не удалось записать файл",
       Icon::Warning},
      {"out of memory", Completed(1, 0, {"огромная.sgf"}, FailureReason::OutOfMemory),
       "Очистка завершена.\n\nОчищено файлов: 0 из 1.\nНе удалось очистить:\n"
       "огромная.sgf — недостаточно памяти",
       Icon::Warning},
      {"folders not listed", folders,
       "Очистка завершена.\n\nОчищено файлов: 1 из 1.\nНе удалось очистить:\n"
       "Игры — не удалось прочитать папку\nзакрытая — не удалось прочитать папку",
       Icon::Warning},
      {"one changed meanwhile", Completed(1, 0, {"a.sgf"}, FailureReason::FileChanged),
       "Очистка завершена.\n\nОчищено файлов: 0 из 1.\nНе удалось очистить:\n"
       "a.sgf — файл изменился во время очистки",
       Icon::Warning},
      {"exactly ten listed", Completed(10, 0, ten), tenText, Icon::Warning},
      {"twelve failed", Completed(15, 3, twelve), twelveText, Icon::Warning},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const UserMessage message = DescribeRun(c.report);
    EXPECT_EQ(Text(message), c.text);
    EXPECT_EQ(message.icon, c.icon);
    EXPECT_EQ(message.focus, Field::None);
  }
}

TEST(UserMessageTest, DescribeRunOfARunThatNeverStartedNamesTheFolder) {
  struct Case {
    RunOutcome outcome;
    std::string text;
    Field focus;
  };
  const std::vector<Case> cases = {
      {RunOutcome::NoSourceGiven, "Укажите папку с исходными файлами.", Field::Source},
      {RunOutcome::NoDestinationGiven, "Укажите папку для результата.", Field::Destination},
      {RunOutcome::SourceNotFound, "Папка с исходными файлами не найдена:\nИгры", Field::Source},
      {RunOutcome::DestinationNotFound, "Папка для результата не найдена:\nИтог",
       Field::Destination},
      {RunOutcome::CannotCreateDestination,
       "Не удалось создать папку для результата:\nИтог\nPermission denied", Field::Destination},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    BatchReport report;
    report.outcome = c.outcome;
    report.source = fs::path(U16("Игры"));
    report.destination = fs::path(U16("Итог"));
    report.systemMessage = "Permission denied";
    const UserMessage message = DescribeRun(report);
    EXPECT_EQ(Text(message), c.text);
    EXPECT_EQ(message.icon, Icon::Warning);
    EXPECT_EQ(message.focus, c.focus);
  }
}

#ifndef _WIN32
TEST(UserMessageTest, FileNamesThatAreNotUtf8StillShow) {
  BatchReport report = Completed(1, 0, {});
  report.failures.push_back(
      {fs::path("\xcf\xe0\xf0\xf2\xe8\xff.sgf"), FailureReason::NoGameFound, ""});
  EXPECT_EQ(Text(DescribeRun(report)),
            "Очистка завершена.\n\nОчищено файлов: 0 из 1.\nНе удалось очистить:\n"
            "\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD.sgf — в файле нет игры");
}
#endif

}  // namespace
}  // namespace varnoket::desktop
