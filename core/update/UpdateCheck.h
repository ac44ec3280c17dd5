// What Start checks before an update file may go to the device: the target,
// the file's extension and the version character of its name against the
// versions the device reported. Pure logic, no widgets.
#pragma once

#include "core/Protocol.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <functional>
#include <optional>

enum class TUpdateTarget { None, Pocket, Lan };

// The kind of box a refusal is shown in.
enum class TBoxKind {
  Information,  // information box, OK
  QuestionOk,   // question-mark box with only OK
  Error,        // error box, OK
};

struct TUpdateCheckInput {
  TUpdateTarget target = TUpdateTarget::None;
  QByteArray fileName;     // 8-bit, without folder
  QByteArray extension;    // 8-bit, with its dot ("" when the name has none)
  QByteArray description;  // 8-bit text of the device description field
};

struct TUpdateCheckResult {
  bool go = false;
  uint8_t requestCode = 0;  // when go
  QByteArray refusal;       // when refused: the text shown (8-bit)
  TBoxKind kind = TBoxKind::Information;
  bool asked = false;  // refused after a question the user did not answer with Yes
};

// Runs the checks. `ask` puts a Yes/No question and returns true only for
// Yes; a question answered otherwise refuses without a further box.
TUpdateCheckResult CheckUpdate(const TUpdateCheckInput& in, const std::function<bool(const char*)>& ask);

// Whether an update took: after its restart the device reports its versions
// again, and the updated target's version character in the description
// (the 21st for "Pocket Software", the 7th for "LAN Driver") must be the
// file's version character (the 10th of its name).
struct TUpdateVerdict {
  bool verified = false;
  char expected = 0;  // the file's version character; 0 when its name is too short
  char found = 0;     // the device's; 0 when the description is too short
  int position = 0;   // the character of the description compared (counted from 1); 0 without a target
};
TUpdateVerdict VerifyUpdate(TUpdateTarget target, const QByteArray& fileName, const QByteArray& description);

// The version character of an update file's name, its 10th: a digit or one
// of A-F, as the device shows the last digit of an installed version (in
// hexadecimal, upper case). Nothing when the name is shorter or its 10th
// character is none of these: such a name carries no version, and an update
// from it could be neither compared with the installed one nor verified.
std::optional<char> NameVersionCharacter(const QByteArray& fileName);

// The 8-bit name and extension (with dot) of a path's file, in the
// single-byte code page.
QByteArray FileName8Bit(const QString& path);
QByteArray Extension8Bit(const QString& path);
QByteArray To8Bit(const QString& text);
