// The recorder page's drive, folder and file boxes, chained: the drive box
// lists the mounted volumes, the folder box shows and changes the current
// directory (the target of a copy), the file box lists that directory's
// files.
#pragma once

#include <QString>

class QWidget;
class TFMain;

// Creates DCB_Rec, DLB_RFile and FLB_Files on `page` and chains them,
// starting in the user's home directory.
void CreateRecorderFileBoxes(TFMain& w, QWidget* page);
// Makes `path` the folder box's current directory; false if it is not a
// directory.
bool SetRecorderDirectory(TFMain& w, const QString& path);
// The folder box's current directory.
QString RecorderDirectory(const TFMain& w);
// Has the file box show `filePath`, just written to its directory.
void ShowNewRecorderFile(TFMain& w, const QString& filePath);
