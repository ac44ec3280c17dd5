// The device's firmware upload: the start request (0x0C application image,
// 0x09 network module driver) with the image size, the clearing of its
// memory, then name words (application image only) and data requests, each
// led by sequence bytes and each acknowledged with 0. The image is put back
// together and checked as it arrives; tests read it back. Once the last
// block is acknowledged the device may restart and come back with the new
// version (see TRestartPlan).
#pragma once

#include "sim/DeviceFunction.h"
#include "sim/ZelSim.h"

#include <QByteArray>
#include <QCryptographicHash>
#include <QList>
#include <QMutex>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

namespace zelsim {

class TVersionFunction;

// How the device comes back from the restart that follows a complete image.
enum class TAfterUpdate {
  New,    // with the image's version
  Old,    // with the version it had (the update did not take)
  Never,  // not at all: the port keeps refusing connections
};

// The restart after a complete image: the device closes the link once the
// last acknowledgement has left, refuses connections for `offMs`, then
// accepts again. The new version of a "Pocket Software" image: the firmware
// version's last hexadecimal digit becomes the version character of the
// name it received (the file name's 10th character); of a "LAN Driver"
// image: `lanAfter`, or one above the installed LAN driver when unset.
struct TRestartPlan {
  bool on = false;  // off: the device keeps the link and its versions
  int offMs = 3000;
  TAfterUpdate after = TAfterUpdate::New;
  std::optional<uint8_t> lanAfter;
};

// A misbehaviour at one request after the start request (counted from 1:
// name words and data requests alike).
struct TUploadFault {
  enum TKind {
    None,
    Working,  // answer 85, then play `then` (empty: stay silent)
    Answer,   // answer `code` instead of 0
    Silent,   // no answer
    Drop,     // drop the connection instead of answering
  } kind = None;
  int request = 0;
  uint8_t code = 0;
  QList<TChunk> then;
  zelsim::TDrop how = zelsim::TDrop::Close;
};

class TUploadFunction : public TDeviceFunction {
 public:
  static constexpr uint8_t kPocketStart = 0x0C;
  static constexpr uint8_t kLanStart = 0x09;

  // `versions` is the device's version answer, changed by a restart (none:
  // a restart leaves the versions alone).
  explicit TUploadFunction(std::shared_ptr<TVersionFunction> versions = nullptr);

  int RequestLength(QByteArrayView pending) override;
  void Handle(const QByteArray& request, TDeviceLink& link) override;
  void ConnectionOpened() override;

  // --- configuration -------------------------------------------------------
  // The answer to the start request (90 = clearing; anything else refuses).
  void SetStartReply(uint8_t code);
  // How long the device clears its memory before it acknowledges.
  void SetClearingMs(int ms);
  void SetFault(const TUploadFault& fault);
  // Off by default: tests go on talking to the device after an upload.
  void SetRestart(const TRestartPlan& plan);

  // How many bytes of an image the device keeps for Image() (default
  // kImageKept); the size and the SHA-256 of every image are kept whatever
  // its size. A test that uploads a larger image and reads it back raises it.
  static constexpr qsizetype kImageKept = 4 << 20;
  void SetImageKept(qsizetype bytes);

  // --- read-back -------------------------------------------------------------
  // The image as received, cut to the size of the start request; of a larger
  // image than SetImageKept allows, its first bytes only.
  QByteArray Image() const;
  // Bytes of the image received so far (at most the announced size).
  qint64 ImageSize() const;
  // The SHA-256 of the whole image, once every announced byte has arrived.
  QByteArray ImageSha256() const;
  // The 12-byte name field of an application image.
  QByteArray Name() const;
  // The size announced by the last start request, and its code.
  uint32_t AnnouncedSize() const;
  uint8_t StartCode() const;
  // Requests after the start request received so far.
  int RequestsReceived() const;
  // True once every announced byte has arrived.
  bool Complete() const;
  // What did not match: sequence bytes, padding, lengths. Empty when all fit.
  QStringList Problems() const;
  // Restarts begun after a complete image.
  int Restarts() const;

 private:
  enum class TPhase { Idle, NameWords, Data };
  void Reset();
  void Take(const QByteArray& request);  // with mu_ held
  void TakeData(QByteArrayView bytes);   // with mu_ held
  // The restart after a complete image, when the plan has one (counted);
  // with mu_ held. The caller orders it on the link once mu_ is released.
  struct TRestart {
    int offMs;                   // below 0: never back
    std::function<void()> back;  // puts the new versions in place
  };
  std::optional<TRestart> PlannedRestart();

  mutable QMutex mu_;
  uint8_t startReply_ = 90;
  int clearingMs_ = 100;
  TUploadFault fault_;
  TPhase phase_ = TPhase::Idle;
  bool pocket_ = false;
  uint8_t startCode_ = 0;
  uint32_t size_ = 0;
  int64_t counter_ = 1;  // next expected sequence counter
  int received_ = 0;
  QByteArray name_;
  qsizetype imageKept_ = kImageKept;
  QByteArray data_;                           // the image's first bytes received, at most imageKept_ of them
  int64_t dataReceived_ = 0;                  // every data byte received, padding included
  std::unique_ptr<QCryptographicHash> hash_;  // of the image's bytes so far
  QByteArray imageSha256_;
  bool paddingWrong_ = false;  // reported once
  QStringList problems_;
  std::shared_ptr<TVersionFunction> versions_;
  TRestartPlan restart_;
  int restarts_ = 0;
};

}  // namespace zelsim
