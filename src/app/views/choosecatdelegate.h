#pragma once

#include <QStyledItemDelegate>
#include <QStringList>
#include <QWidget>

class QLineEdit;

// Edits a category rule cell: a line edit for typing the rule and a button
// that picks it from the offer's raw categories.
class ChooseCatDelegate final : public QStyledItemDelegate
{
    Q_OBJECT

public:
    class ChooseCatWidget;

    // The categories belong to the offer editor and outlive the delegate.
    explicit ChooseCatDelegate(const QStringList *categories, QObject *parent = nullptr);

    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                          const QModelIndex &index) const override;
    void setEditorData(QWidget *editor, const QModelIndex &index) const override;
    void setModelData(QWidget *editor, QAbstractItemModel *model, const QModelIndex &index) const override;

private slots:
    void commitAndCloseEditor();

private:
    Q_DISABLE_COPY(ChooseCatDelegate)

    const QStringList *m_categories;
};

class ChooseCatDelegate::ChooseCatWidget final : public QWidget
{
    Q_OBJECT

public:
    ChooseCatWidget(const QStringList *categories, QWidget *parent = nullptr);

    QLineEdit *LineEdit() const { return m_lineEdit; }

signals:
    // The user went elsewhere in the window: the cell is done.
    void editingFinished();

public slots:
    // Picks a rule from the offer's categories into the line edit.
    void chooseCategory();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    Q_DISABLE_COPY(ChooseCatWidget)

    const QStringList *m_categories;
    QLineEdit *m_lineEdit;
};
