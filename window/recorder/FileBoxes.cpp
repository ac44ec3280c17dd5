#include "window/recorder/FileBoxes.h"

#include "window/FolderMemory.h"
#include "window/Main_eng.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QDir>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QItemSelectionModel>
#include <QListView>
#include <QPointer>
#include <QSignalBlocker>
#include <QStorageInfo>
#include <QTreeView>

#include <algorithm>

namespace {

// Owns what the boxes share: the icon provider (with folder and file icons
// on every platform, themed or not) and the directory still to be scrolled
// into view while its parents load.
class TFileBoxes : public QObject {
 public:
  using QObject::QObject;
  QFileIconProvider icons;
  QString scrollPending;
};

// Found by its type: the class has no meta-object of its own, so
// findChild<TFileBoxes*> would take any child of the window.
TFileBoxes* Boxes(const TFMain& w) {
  for (QObject* child : w.children())
    if (auto* boxes = dynamic_cast<TFileBoxes*>(child)) return boxes;
  return nullptr;
}

bool IsInside(const QString& path, const QString& dir) {
  const QString d = QDir::cleanPath(dir);
  const QString p = QDir::cleanPath(path);
  if (p.compare(d, Qt::CaseInsensitive) == 0) return true;
  const QString prefix = d.endsWith(QLatin1Char('/')) ? d : d + QLatin1Char('/');
  return p.startsWith(prefix, Qt::CaseInsensitive);
}

// Selects the volume that holds `path` in the drive box, without its signal.
void ShowVolumeOf(TFMain& w, const QString& path) {
  int best = -1;
  qsizetype bestLength = -1;
  for (int i = 0; i < w.DCB_Rec->count(); ++i) {
    const QString root = w.DCB_Rec->itemData(i).toString();
    if (IsInside(path, root) && root.size() > bestLength) {
      best = i;
      bestLength = root.size();
    }
  }
  if (best < 0) return;
  const QSignalBlocker block(w.DCB_Rec);
  w.DCB_Rec->setCurrentIndex(best);
}

void FillVolumes(QComboBox* box) {
  QList<QStorageInfo> volumes;
  for (const QStorageInfo& v : QStorageInfo::mountedVolumes())
    if (v.isValid() && v.isReady()) volumes << v;
  std::sort(volumes.begin(), volumes.end(),
            [](const QStorageInfo& a, const QStorageInfo& b) { return a.rootPath() < b.rootPath(); });
  for (const QStorageInfo& v : volumes) {
    QString text = QDir::toNativeSeparators(v.rootPath());
    const QString name = v.displayName();
    if (!name.isEmpty() && name != v.rootPath()) text += QStringLiteral("  [%1]").arg(name);
    box->addItem(text, v.rootPath());
  }
}

}  // namespace

void CreateRecorderFileBoxes(TFMain& w, QWidget* page) {
  w.DirModel = new QFileSystemModel(&w);
  w.DirModel->setObjectName(QStringLiteral("DirModel"));
  w.DirModel->setFilter(QDir::AllDirs | QDir::Drives | QDir::NoDotAndDotDot);
  w.FileModel = new QFileSystemModel(&w);
  w.FileModel->setObjectName(QStringLiteral("FileModel"));
  w.FileModel->setFilter(QDir::Files | QDir::NoDotAndDotDot);
  // Created after the models, so destroyed after them.
  auto* boxes = new TFileBoxes(&w);
  w.DirModel->setIconProvider(&boxes->icons);
  w.FileModel->setIconProvider(&boxes->icons);
  w.DirModel->setRootPath(QString());

  w.DCB_Rec = new QComboBox(page);
  w.DCB_Rec->setObjectName(QStringLiteral("DCB_Rec"));
  w.DCB_Rec->setEditable(false);
  w.DCB_Rec->setGeometry(432, 8, 513, 19);
  FillVolumes(w.DCB_Rec);

  w.DLB_RFile = new QTreeView(page);
  w.DLB_RFile->setObjectName(QStringLiteral("DLB_RFile"));
  w.DLB_RFile->setGeometry(424, 32, 305, 457);
  w.DLB_RFile->setModel(w.DirModel);
  w.DLB_RFile->setHeaderHidden(true);
  for (int c = 1; c < w.DirModel->columnCount(); ++c) w.DLB_RFile->hideColumn(c);
  w.DLB_RFile->setSortingEnabled(true);
  w.DLB_RFile->sortByColumn(0, Qt::AscendingOrder);
  w.DLB_RFile->setSelectionMode(QAbstractItemView::SingleSelection);
  w.DLB_RFile->setEditTriggers(QAbstractItemView::NoEditTriggers);
  w.DLB_RFile->setUniformRowHeights(true);

  w.FLB_Files = new QListView(page);
  w.FLB_Files->setObjectName(QStringLiteral("FLB_Files"));
  w.FLB_Files->setGeometry(736, 32, 209, 457);
  w.FLB_Files->setModel(w.FileModel);
  w.FLB_Files->setSelectionMode(QAbstractItemView::SingleSelection);
  w.FLB_Files->setEditTriggers(QAbstractItemView::NoEditTriggers);
  w.FLB_Files->setUniformItemSizes(true);

  TFMain* win = &w;
  // The folder box's current directory is the one the file box lists.
  QObject::connect(w.DLB_RFile->selectionModel(), &QItemSelectionModel::currentChanged, &w,
                   [win](const QModelIndex& current) {
                     if (!current.isValid()) return;
                     const QString dir = win->DirModel->filePath(current);
                     win->FLB_Files->setRootIndex(win->FileModel->setRootPath(dir));
                     ShowVolumeOf(*win, dir);
                     RememberFolder(TFolder::Recorder, dir);
                   });
  // Folders load in the background: keep the current one in view until its
  // parents are there.
  QObject::connect(w.DirModel, &QFileSystemModel::directoryLoaded, boxes, [win, boxes](const QString& dir) {
    if (boxes->scrollPending.isEmpty() || !IsInside(boxes->scrollPending, dir)) return;
    win->DLB_RFile->scrollTo(win->DLB_RFile->currentIndex(), QAbstractItemView::PositionAtCenter);
    if (QDir::cleanPath(dir) == QDir::cleanPath(QFileInfo(boxes->scrollPending).path()) ||
        QDir::cleanPath(dir) == QDir::cleanPath(boxes->scrollPending))
      boxes->scrollPending.clear();
  });
  QObject::connect(w.DCB_Rec, &QComboBox::currentIndexChanged, &w, [win](int index) {
    const QString root = win->DCB_Rec->itemData(index).toString();
    if (!root.isEmpty()) SetRecorderDirectory(*win, root);
  });

  SetRecorderDirectory(w, RememberedFolderOr(TFolder::Recorder, QDir::homePath()));
}

bool SetRecorderDirectory(TFMain& w, const QString& path) {
  const QFileInfo info(path);
  if (!info.isDir()) return false;
  const QString dir = info.absoluteFilePath();
  const QModelIndex index = w.DirModel->index(dir);
  if (!index.isValid()) return false;
  // Of several top-level drives only the one holding the directory is shown.
  for (int r = 0; r < w.DirModel->rowCount(QModelIndex()); ++r) {
    const QString top = w.DirModel->filePath(w.DirModel->index(r, 0, QModelIndex()));
    w.DLB_RFile->setRowHidden(r, QModelIndex(), !IsInside(dir, top));
  }
  for (QModelIndex p = index.parent(); p.isValid(); p = p.parent()) w.DLB_RFile->expand(p);
  w.DLB_RFile->expand(index);
  if (TFileBoxes* boxes = Boxes(w)) boxes->scrollPending = dir;
  w.DLB_RFile->setCurrentIndex(index);
  w.DLB_RFile->scrollTo(index, QAbstractItemView::PositionAtCenter);
  return true;
}

QString RecorderDirectory(const TFMain& w) {
  const QModelIndex current = w.DLB_RFile->currentIndex();
  if (current.isValid()) return w.DirModel->filePath(current);
  return w.FileModel->rootPath();
}

void ShowNewRecorderFile(TFMain& w, const QString& filePath) {
  // Asking the model for the path adds the file now rather than when the
  // directory watcher reports it.
  const QModelIndex index = w.FileModel->index(filePath);
  if (index.isValid()) w.FLB_Files->scrollTo(index);
}
