#include "ResultsHeader.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QStyle>
#include <algorithm>
#include <memory>

ResultsHeader::ResultsHeader(QWidget* parent) : QHeaderView(Qt::Horizontal, parent) {
  // As QTreeView sets up the header it makes itself.
  setSectionsMovable(true);
  setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
}

int ResultsHeader::GripMargin() const {
  return style()->pixelMetric(QStyle::PM_HeaderGripMargin, nullptr, this);
}

bool ResultsHeader::Collapsed(int section) const {
  return !isSectionHidden(section) && sectionSize(section) <= GripMargin();
}

int ResultsHeader::CollapsedSectionAt(int x) const {
  const int margin = GripMargin();
  int found = -1;
  for (int visual = 0; visual < count(); ++visual) {
    const int section = logicalIndex(visual);
    if (!Collapsed(section)) continue;
    const int start = sectionViewportPosition(section);
    const int end = start + sectionSize(section);
    // Right to left, a column's far edge is its left one.
    const bool within =
        isRightToLeft() ? x >= start - margin && x < end : x >= start && x < end + margin;
    if (within) found = section;
  }
  return found;
}

int ResultsHeader::GrippedSection(const QMouseEvent* event) const {
  if (event->button() != Qt::LeftButton) return -1;
  const int section = CollapsedSectionAt(event->position().toPoint().x());
  return section >= 0 && sectionResizeMode(section) == Interactive ? section : -1;
}

void ResultsHeader::mousePressEvent(QMouseEvent* event) {
  dragged_ = GrippedSection(event);
  if (dragged_ < 0) {
    QHeaderView::mousePressEvent(event);
    return;
  }
  pressX_ = event->position().toPoint().x();
  startSize_ = sectionSize(dragged_);
  event->accept();
}

void ResultsHeader::mouseMoveEvent(QMouseEvent* event) {
  const int x = event->position().toPoint().x();
  if (dragged_ >= 0 && (event->buttons() & Qt::LeftButton)) {
    const int moved = isRightToLeft() ? pressX_ - x : x - pressX_;
    resizeSection(dragged_, std::max(minimumSectionSize(), startSize_ + moved));
    return;
  }
  dragged_ = -1;
  QHeaderView::mouseMoveEvent(event);
  if (event->buttons() == Qt::NoButton && CollapsedSectionAt(x) >= 0) {
    setCursor(orientation() == Qt::Horizontal ? Qt::SplitHCursor : Qt::SplitVCursor);
  }
}

void ResultsHeader::mouseReleaseEvent(QMouseEvent* event) {
  if (dragged_ >= 0 && event->button() == Qt::LeftButton) {
    dragged_ = -1;
    event->accept();
    return;
  }
  QHeaderView::mouseReleaseEvent(event);
}

void ResultsHeader::mouseDoubleClickEvent(QMouseEvent* event) {
  // As on any other grip: the view fits the column to its contents.
  const int section = GrippedSection(event);
  if (section < 0) {
    QHeaderView::mouseDoubleClickEvent(event);
    return;
  }
  emit sectionHandleDoubleClicked(section);
  event->accept();
}

QMenu* ResultsHeader::ColumnMenu() {
  auto* menu = new QMenu(this);
  for (int section = 0; section < count(); ++section) {
    QString label = model() ? model()->headerData(section, orientation()).toString() : QString();
    if (label.isEmpty()) label = menuLabels_.value(section, tr("Column %1").arg(section + 1));
    QAction* action = menu->addAction(label);
    action->setCheckable(true);
    action->setChecked(!isSectionHidden(section) && !Collapsed(section));
    action->setEnabled(section != 0);
    connect(action, &QAction::toggled, this,
            [this, section](bool show) { ShowColumn(section, show); });
  }
  AppendSettings(menu);
  return menu;
}

void ResultsHeader::AppendSettings(QMenu* menu) const {
  if (menuSettings_.isEmpty()) return;
  menu->addSeparator();
  for (QAction* action : menuSettings_) menu->addAction(action);
}

void ResultsHeader::ShowColumn(int section, bool show) {
  setSectionHidden(section, !show);
  if (show && sectionSize(section) <= GripMargin()) resizeSection(section, defaultSectionSize());
}

void ResultsHeader::contextMenuEvent(QContextMenuEvent* event) {
  const std::unique_ptr<QMenu> menu(ColumnMenu());
  menu->exec(event->globalPos());
}
