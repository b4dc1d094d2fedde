#include "goodview.h"

GoodView::GoodView(QWidget *parent)
    : QListView(parent)
{
    setUniformItemSizes(true);
}
