// Lays its widgets out in rows, left to right, starting a new row where the
// next one would not fit: as many rows as the width needs, so that every
// widget keeps at least its size hint (its whole text). Its height depends
// on its width (heightForWidth); the smallest width is its widest widget's.
#pragma once

#include <QLayout>
#include <QList>

class StripLayout : public QLayout
{
public:
    explicit StripLayout(QWidget *parent = nullptr, int spacing = 4);
    ~StripLayout() override;

    void addItem(QLayoutItem *item) override;
    int count() const override { return int(items.size()); }
    QLayoutItem *itemAt(int index) const override { return items.value(index); }
    QLayoutItem *takeAt(int index) override;

    Qt::Orientations expandingDirections() const override { return {}; }
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize minimumSize() const override;
    QSize sizeHint() const override;
    void setGeometry(const QRect &rect) override;

private:
    // Places the items in `rect` (only measures when `place` is false) and
    // returns the height the rows take.
    int arrange(const QRect &rect, bool place) const;

    QList<QLayoutItem *> items;
    int gap;
};
