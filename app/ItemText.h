// Texts of list rows kept byte for byte. A row shows its text decoded as UTF-8; a text that is not
// valid UTF-8 also keeps its exact bytes beside it, so what goes in comes out unchanged (an
// address read from a file in another encoding still reaches the reader as it was written).
#pragma once

#include <QByteArray>
#include <QString>
#include <QTreeWidgetItem>
#include <string>

namespace ItemText {

// A text decoded for showing, once for as many rows as show it: Qt shares the decoded text
// between the rows instead of each row holding its own.
struct Shown {
  QString text;
  // The exact bytes of a text that is not valid UTF-8; empty otherwise.
  QByteArray bytes;
  bool exact = true;
};

// text decoded as Set shows it.
Shown Prepare(const std::string& text);

// Shows text in the column and keeps its bytes when the shown text cannot give them back.
void Set(QTreeWidgetItem* item, int column, const std::string& text);
// The same for a text already decoded.
void Set(QTreeWidgetItem* item, int column, const Shown& shown);

// The bytes that Set was given, or the shown text as UTF-8 for a text set some other way.
std::string Get(const QTreeWidgetItem* item, int column);

// Removes a role's value from the column, if it has one. Setting an empty value instead would
// leave an empty entry behind on the item.
void Reset(QTreeWidgetItem* item, int column, int role);

}  // namespace ItemText
