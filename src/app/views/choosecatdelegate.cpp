#include "choosecatdelegate.h"

#include <QApplication>
#include <QFocusEvent>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QToolButton>

#include "choosecategorydialog.h"

ChooseCatDelegate::ChooseCatDelegate(const QStringList *categories, QObject *parent)
    : QStyledItemDelegate(parent)
    , m_categories(categories)
{
}

QWidget *ChooseCatDelegate::createEditor(QWidget *parent, const QStyleOptionViewItem &, const QModelIndex &) const
{
    auto *editor = new ChooseCatWidget(m_categories, parent);
    connect(editor, &ChooseCatWidget::editingFinished, this, &ChooseCatDelegate::commitAndCloseEditor);
    return editor;
}

void ChooseCatDelegate::setEditorData(QWidget *editor, const QModelIndex &index) const
{
    auto *widget = qobject_cast<ChooseCatWidget *>(editor);
    if (!widget) {
        QStyledItemDelegate::setEditorData(editor, index);
        return;
    }
    QLineEdit *lineEdit = widget->LineEdit();
    lineEdit->setText(index.data(Qt::EditRole).toString());
    lineEdit->setCursorPosition(0);
    lineEdit->selectAll();
}

void ChooseCatDelegate::setModelData(QWidget *editor, QAbstractItemModel *model, const QModelIndex &index) const
{
    auto *widget = qobject_cast<ChooseCatWidget *>(editor);
    if (!widget) {
        QStyledItemDelegate::setModelData(editor, model, index);
        return;
    }
    model->setData(index, widget->LineEdit()->text(), Qt::EditRole);
}

void ChooseCatDelegate::commitAndCloseEditor()
{
    auto *editor = qobject_cast<ChooseCatWidget *>(sender());
    if (!editor)
        return;
    emit commitData(editor);
    emit closeEditor(editor);
}

ChooseCatDelegate::ChooseCatWidget::ChooseCatWidget(const QStringList *categories, QWidget *parent)
    : QWidget(parent)
    , m_categories(categories)
    , m_lineEdit(new QLineEdit(this))
{
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(1, 1, 1, 1);
    layout->setSpacing(3);
    m_lineEdit->setFrame(false);
    m_lineEdit->setAutoFillBackground(false);
    layout->addWidget(m_lineEdit);
    auto *button = new QToolButton(this);
    button->setText(QWidget::tr("..."));
    layout->addWidget(button);
    setAutoFillBackground(true);
    setFocusProxy(m_lineEdit);

    m_lineEdit->installEventFilter(this);
    connect(button, &QToolButton::clicked, this, &ChooseCatWidget::chooseCategory);
}

bool ChooseCatDelegate::ChooseCatWidget::eventFilter(QObject *watched, QEvent *event)
{
    // The view only watches the editor itself, and the line edit inside it
    // holds the focus: a click elsewhere in the window (the dialog's OK
    // button included) must still hand the typed rule over. A chooser or a
    // message box opened from here only takes the window's activation.
    if (watched == m_lineEdit && event->type() == QEvent::FocusOut) {
        const Qt::FocusReason reason = static_cast<QFocusEvent *>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) {
            const QWidget *focus = QApplication::focusWidget();
            if (!focus || !isAncestorOf(focus))
                emit editingFinished();
        }
    }
    return QWidget::eventFilter(watched, event);
}

void ChooseCatDelegate::ChooseCatWidget::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    painter.drawRect(0, 0, width() - 1, height() - 1);
    painter.end();
    QWidget::paintEvent(event);
}

void ChooseCatDelegate::ChooseCatWidget::chooseCategory()
{
    if (m_categories->isEmpty()) {
        QMessageBox::warning(this, tr("Выбор категории"),
                             tr("Нет категорий для этого оффера. Возможно он ещё не загружен."));
        return;
    }
    ChooseCategoryDialog dialog(*m_categories, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    const QString rule = dialog.SelectedRule();
    if (rule.isEmpty())
        return;
    m_lineEdit->setText(rule);
    m_lineEdit->setCursorPosition(0);
    m_lineEdit->selectAll();
}
