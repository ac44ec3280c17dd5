// Slot files: the slot table saved to and opened from a ".Mem" file, the raw
// table without a header.
#include "window/FolderMemory.h"
#include "window/Main_eng.h"
#include "core/InputFile.h"
#include "window/Prompter.h"
#include "core/SafeSave.h"
#include "core/slots/SlotRecord.h"

#include <QFile>
#include <QDir>
#include <QFileInfo>
#include <QListWidget>
#include <QPushButton>

#include <stdexcept>

namespace {

[[noreturn]] void FileError(const QString& systemText) {
  throw std::runtime_error(systemText.toLocal8Bit().toStdString());
}

TFileDialog FileDialog(const QString& defaultExt, const QString& filter) {
  TFileDialog dialog;
  dialog.defaultExt = defaultExt;
  dialog.filter = filter;
  return dialog;
}

void ShowSource(QListWidget* box, const QString& path) {
  box->clear();
  box->addItem(QFileInfo(path).fileName());
}

}  // namespace

void TFMain::OpenSlotFile() {
  OD_App_DefaultExt = QStringLiteral("*.Mem");
  OD_App_Filter = QStringLiteral("Memory file *.Mem|*.Mem");
  const QString path = OpenFileIn(TFolder::SlotFileOpen, this, FileDialog(OD_App_DefaultExt, OD_App_Filter));
  if (path.isEmpty()) return;
  ShowSource(LB_Speicher, path);
  // A slot file is 16128 bytes; a name that leads to a pipe or a device, or a
  // file far larger than any slot file, is not read.
  constexpr qint64 kSlotFileLimit = 1 << 20;
  QString error;
  const std::optional<QByteArray> read = ReadInputFile(path, kSlotFileLimit, &error);
  if (!read) {
    const QFileInfo info(path);
    if (info.isFile() && info.size() > kSlotFileLimit) {
      // Not the system's failure but the tool's refusal: say of which file, and why.
      FileError(QStringLiteral("%1 was not opened: it is %2 bytes long. A slot file is %3 bytes; no file longer than "
                               "%4 bytes is read as one, and the slots were left as they are.")
                    .arg(QDir::toNativeSeparators(info.absoluteFilePath()))
                    .arg(info.size())
                    .arg(SLOT_TABLE_SIZE)
                    .arg(kSlotFileLimit));
    }
    FileError(error);
  }
  const QByteArray& content = *read;
  // The file is kept whole, whatever its length; a short file shows its
  // missing bytes as zeros.
  DataStream.buffer() = content;
  DataStream.seek(0);
  for (int slot = 1; slot <= SLOT_COUNT; ++slot) {
    const QByteArray record = SlotEntry(content, slot);
    ShowSlotRecord(reinterpret_cast<const uint8_t*>(record.constData()), slot);
  }
  B_Speichern->setEnabled(true);
}

void TFMain::SaveSlotFile() {
  SD_Datei_DefaultExt = QStringLiteral("*.Mem");
  SD_Datei_Filter = QStringLiteral("Speicherplatz-Datei *.Mem|*.Mem");
  const QString path = SaveFileIn(TFolder::SlotFileSave, this, FileDialog(SD_Datei_DefaultExt, SD_Datei_Filter));
  if (path.isEmpty()) return;
  ShowSource(LB_Speicher, path);
  // Written beside the old file and put in its place only when complete.
  QString error;
  if (!SaveWhole(path, DataStream.data(), &error)) FileError(error);
}
