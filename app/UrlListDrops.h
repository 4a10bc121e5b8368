// Drops on the URL list: feed addresses (http and https, as a list of links or as plain text, one
// per line) and files of addresses (.txt, .opml) from a file manager. Anything else is refused.
#pragma once

#include <QObject>
#include <functional>
#include <string>
#include <vector>

class QAbstractItemView;

struct DroppedItem {
  enum class Kind { kAddress, kFile };
  Kind kind;
  // The address as dropped, or the file's path in the file system's encoding.
  std::string text;
};

class QMimeData;

// The items of a drop or a paste, or none when it holds anything else: links are read before
// text, as a browser offers a dragged link as both; blank lines and the blanks around a line of
// text are left out.
std::vector<DroppedItem> DroppedItems(const QMimeData& data);

class UrlListDrops : public QObject {
 public:
  using Take = std::function<void(const std::vector<DroppedItem>&)>;

  // Takes the drops on list's rows, in place of the view's own handling (so rows are never
  // moved). take gets the items in their order once the drop itself has finished, so that the
  // program the drag came from is not kept waiting while files load or messages show.
  UrlListDrops(QAbstractItemView* list, Take take);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  Take take_;
  // Whether the drag now over the list is one to take.
  bool accepted_ = false;
};
