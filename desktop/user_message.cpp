// SPDX-License-Identifier: MIT
#include "desktop/user_message.h"

#include <algorithm>
#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

#include "platform/path_text.h"
#include "sgf/utf8.h"

namespace varnoket::desktop {
namespace {

// The most failed files one message lists by name; the rest are counted.
constexpr std::size_t kListedFailures = 10;

std::u16string Number(std::size_t value) {
  const std::string digits = std::to_string(value);
  return std::u16string(digits.begin(), digits.end());
}

std::u16string_view RussianReason(FailureReason reason) {
  switch (reason) {
    case FailureReason::CannotRead:
      return u"не удалось прочитать файл";
    case FailureReason::NoGameFound:
      return u"в файле нет игры";
    case FailureReason::CutShort:
      return u"запись игры оборвана";
    case FailureReason::CannotWrite:
      return u"не удалось записать файл";
    case FailureReason::OutOfMemory:
      return u"недостаточно памяти";
    case FailureReason::CannotReadFolder:
      return u"не удалось прочитать папку";
    case FailureReason::FileChanged:
      return u"файл изменился во время очистки";
    case FailureReason::TooLarge:
      return u"очищенная запись слишком велика";
    case FailureReason::NotExtracted:
      return u"не извлечён из архива";
    case FailureReason::DamagedArchive:
      return u"архив повреждён";
  }
  return u"не удалось прочитать файл";
}

UserMessage Warning(std::u16string text, UserMessage::Field focus) {
  UserMessage message;
  message.text = std::move(text);
  message.icon = UserMessage::Icon::Warning;
  message.focus = focus;
  return message;
}

UserMessage NoSourceGiven() {
  return Warning(u"Укажите папку с исходными файлами.", UserMessage::Field::Source);
}

UserMessage NoDestinationGiven() {
  return Warning(u"Укажите папку для результата.", UserMessage::Field::Destination);
}

UserMessage SourceNotFound(const std::u16string& folder) {
  return Warning(u"Папка с исходными файлами не найдена:\n" + folder, UserMessage::Field::Source);
}

UserMessage DestinationNotFound(const std::u16string& folder) {
  return Warning(u"Папка для результата не найдена:\n" + folder, UserMessage::Field::Destination);
}

}  // namespace

std::u16string MessageCaption() { return u"Varnoket"; }

UserMessage CheckBeforeRun(const std::u16string& sourceText, const std::u16string& destinationText,
                           platform::FileSystem* fileSystem) {
  if (sourceText.empty()) return NoSourceGiven();
  if (destinationText.empty()) return NoDestinationGiven();
  platform::FileSystem& files = fileSystem != nullptr ? *fileSystem : platform::DefaultFileSystem();
  if (files.KindOf(platform::PathFromText(sourceText)) != platform::PathKind::Folder) {
    return SourceNotFound(sourceText);
  }
  if (files.KindOf(platform::PathFromText(destinationText)) != platform::PathKind::Folder) {
    return DestinationNotFound(destinationText);
  }
  return UserMessage();
}

UserMessage DescribeRun(const BatchReport& report) {
  switch (report.outcome) {
    case RunOutcome::Completed:
      break;
    case RunOutcome::NoSourceGiven:
      return NoSourceGiven();
    case RunOutcome::NoDestinationGiven:
      return NoDestinationGiven();
    case RunOutcome::SourceNotFound:
    case RunOutcome::NotAnArchive:
      return SourceNotFound(platform::PathToText(report.source));
    case RunOutcome::DestinationNotFound:
      return DestinationNotFound(platform::PathToText(report.destination));
    case RunOutcome::CannotCreateDestination: {
      std::u16string text =
          u"Не удалось создать папку для результата:\n" + platform::PathToText(report.destination);
      if (!report.systemMessage.empty()) {
        text += u"\n";
        std::u16string systemText;
        DecodeUtf8(report.systemMessage, &systemText);
        text += systemText;
      }
      return Warning(std::move(text), UserMessage::Field::Destination);
    }
  }

  UserMessage message;
  message.text = u"Очистка завершена.\n\n";
  if (report.failures.empty()) {
    if (report.found == 0) {
      message.text += u"Файлы *.sgf в папке не найдены.";
    } else {
      message.text += u"Очищено файлов: " + Number(report.cleaned) + u".";
    }
    return message;
  }

  message.icon = UserMessage::Icon::Warning;
  message.text +=
      u"Очищено файлов: " + Number(report.cleaned) + u" из " + Number(report.found) + u".";
  message.text += u"\nНе удалось очистить:";
  const std::size_t listed = std::min(report.failures.size(), kListedFailures);
  for (std::size_t i = 0; i < listed; ++i) {
    message.text += u"\n";
    // A source folder that cannot be listed is named as it was typed.
    const std::filesystem::path& name = report.failures[i].name;
    message.text += platform::PathToText(name.empty() ? report.source : name);
    message.text += u" — ";
    message.text += RussianReason(report.failures[i].reason);
  }
  if (report.failures.size() > listed) {
    message.text += u"\n…и ещё " + Number(report.failures.size() - listed) + u".";
  }
  return message;
}

std::u16string ProgressCaption(const BatchProgress& progress) {
  std::u16string caption = u"Очистка…";
  if (progress.total != 0) {
    // Appended piece by piece: GCC 12 misreports "+" chains of strings as
    // overlapping copies (its bug 105329).
    caption += u' ';
    caption += Number(progress.done);
    caption += u" из ";
    caption += Number(progress.total);
  }
  return caption;
}

}  // namespace varnoket::desktop
