// The results list's header. Its "Description" and link columns start a single pixel wide, and Qt
// gives the grip at such a spot to the column before them, so they could never be dragged open.
// This header gives that grip to the narrow column itself, and has a menu to show or hide columns.
#pragma once

#include <QHash>
#include <QHeaderView>
#include <QList>
#include <QString>

class QAction;
class QMenu;

class ResultsHeader : public QHeaderView {
  Q_OBJECT

 public:
  explicit ResultsHeader(QWidget* parent = nullptr);

  // The collapsed column (too narrow for a grip of its own) whose grip is at position x of the
  // viewport, or -1. A collapsed column's grip reaches from its start to the grip margin past its
  // end; where several overlap, the last one in the header's order has it. So a drag at the edge
  // of stacked one-pixel columns opens the last of them first, then the one before, and the
  // column left of them keeps the grip on its own side of the edge.
  int CollapsedSectionAt(int x) const;

  // The menu of the header's columns: a ticked entry for each column that shows, an unticked one
  // for each that is hidden or collapsed. Ticking shows the column at the default width,
  // unticking hides it. The first column holds the tick boxes and always shows. Labels are the
  // header texts, or the label set here for a column whose header text is empty. The caller owns
  // the menu.
  QMenu* ColumnMenu();
  void SetMenuLabel(int column, const QString& label) { menuLabels_.insert(column, label); }

  // A setting of the window shown in the menu after the columns, below a separator, in the
  // order added. The action stays the caller's (or its parent's); every menu shows it as it is.
  void AddMenuSetting(QAction* action) { menuSettings_.push_back(action); }

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  int GripMargin() const;
  bool Collapsed(int section) const;
  int GrippedSection(const QMouseEvent* event) const;
  void ShowColumn(int section, bool show);
  void AppendSettings(QMenu* menu) const;

  // The collapsed column being dragged open, or -1.
  int dragged_ = -1;
  int pressX_ = 0;
  int startSize_ = 0;
  QHash<int, QString> menuLabels_;
  QList<QAction*> menuSettings_;
};
