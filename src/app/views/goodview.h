#pragma once

#include <QListView>

// The goods list. Its rows all have the delegate's one size, which lets the
// view lay out a list of a million goods without asking for each row.
class GoodView final : public QListView
{
    Q_OBJECT

public:
    explicit GoodView(QWidget *parent = nullptr);
};
