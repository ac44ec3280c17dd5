#include "core/update/UpdateCheck.h"

#include <QFileInfo>
#include <QStringEncoder>

namespace {

constexpr int kVersionCharOfName = 10;          // counted from 1
constexpr int kLanCharOfDescription = 7;        // last digit of the LAN driver version
constexpr int kFirmwareCharOfDescription = 21;  // last digit of the firmware version

// Characters are compared as signed 8-bit codes.
signed char At(const QByteArray& text, int position) { return static_cast<signed char>(text.at(position - 1)); }

TUpdateCheckResult Refuse(const char* text, TBoxKind kind) {
  TUpdateCheckResult r;
  r.refusal = text;
  r.kind = kind;
  return r;
}

TUpdateCheckResult Go(uint8_t code) {
  TUpdateCheckResult r;
  r.go = true;
  r.requestCode = code;
  return r;
}

TUpdateCheckResult Declined() {
  TUpdateCheckResult r;
  r.asked = true;
  return r;
}

// A version character that is not there: nothing can be compared.
std::optional<TUpdateCheckResult> MissingCharacter(const TUpdateCheckInput& in, int descriptionChars) {
  if (in.fileName.size() < kVersionCharOfName)
    return Refuse("The update file's name is shorter than 10 characters, so its version (the 10th character) "
                  "cannot be read. Nothing was sent.",
                  TBoxKind::Error);
  if (in.description.size() < descriptionChars)
    return Refuse("The device has not reported its installed versions yet (the device description is too short "
                  "to compare). Read them with Interface > Find WLAN Connection, then try again. Nothing was sent.",
                  TBoxKind::Error);
  return std::nullopt;
}

}  // namespace

TUpdateCheckResult CheckUpdate(const TUpdateCheckInput& in, const std::function<bool(const char*)>& ask) {
  switch (in.target) {
    case TUpdateTarget::None: return Refuse("No Target selected!", TBoxKind::Information);

    case TUpdateTarget::Pocket: {
      if (in.extension != ".RPD" && in.extension != ".rpd") return Refuse("No  *.RPD File!", TBoxKind::Information);
      if (auto missing = MissingCharacter(in, kFirmwareCharOfDescription)) return *missing;
      const signed char file = At(in.fileName, kVersionCharOfName);
      const signed char lan = At(in.description, kLanCharOfDescription);
      if (file < At(in.description, kFirmwareCharOfDescription) &&
          !ask("File contains older firmware than installed, do you really want to install the old version "
               "(could drive the Pocket unaccessible)?"))
        return Declined();
      if (file < '9' && lan >= '3')
        return Refuse(
            "File contains old firmware not compatible to newer LAN driver, please install firmware Vxx9 or higher!",
            TBoxKind::QuestionOk);
      if (file >= '9' && lan < '3')
        return Refuse("Firmware is not compatible to old LAN driver, please install LAN driver V03 or higher first!",
                      TBoxKind::QuestionOk);
      return Go(REQ_UPDATE_POCKET);
    }

    case TUpdateTarget::Lan: {
      if (in.extension != ".BIN" && in.extension != ".bin") return Refuse("No  *.BIN File!", TBoxKind::Information);
      if (auto missing = MissingCharacter(in, kLanCharOfDescription)) return *missing;
      if (At(in.fileName, kVersionCharOfName) < At(in.description, kLanCharOfDescription) &&
          !ask("File contains older LAN driver than installed, do you really want to install the old version "
               "(could drive the Pocket unaccessible)?"))
        return Declined();
      return Go(REQ_UPDATE_LAN);
    }
  }
  return Refuse("No Target selected!", TBoxKind::Information);
}

TUpdateVerdict VerifyUpdate(TUpdateTarget target, const QByteArray& fileName, const QByteArray& description) {
  TUpdateVerdict v;
  switch (target) {
    case TUpdateTarget::None: return v;
    case TUpdateTarget::Pocket: v.position = kFirmwareCharOfDescription; break;
    case TUpdateTarget::Lan: v.position = kLanCharOfDescription; break;
  }
  if (fileName.size() >= kVersionCharOfName) v.expected = fileName.at(kVersionCharOfName - 1);
  if (description.size() >= v.position) v.found = description.at(v.position - 1);
  v.verified = v.expected != 0 && v.found == v.expected;
  return v;
}

std::optional<char> NameVersionCharacter(const QByteArray& fileName) {
  if (fileName.size() < kVersionCharOfName) return std::nullopt;
  const char c = fileName.at(kVersionCharOfName - 1);
  if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F')) return c;
  return std::nullopt;
}

QByteArray To8Bit(const QString& text) {
  QStringEncoder encode("windows-1252");
  return encode(text);
}

QByteArray FileName8Bit(const QString& path) { return To8Bit(QFileInfo(path).fileName()); }

QByteArray Extension8Bit(const QString& path) {
  const QString suffix = QFileInfo(path).suffix();
  return suffix.isEmpty() ? QByteArray() : To8Bit(QLatin1Char('.') + suffix);
}
