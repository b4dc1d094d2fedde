#include "errorbox.h"

#include <QPushButton>
#include <QVariant>

namespace {

const QLatin1String kParagraph("\n\n");

} // namespace

QString ErrorBox::Sentence(const QString &text)
{
    const int at = text.indexOf(kParagraph);
    return at < 0 ? text : text.left(at);
}

QString ErrorBox::Details(const QString &text)
{
    const int at = text.indexOf(kParagraph);
    return at < 0 ? QString() : text.mid(at + kParagraph.size()).trimmed();
}

void ErrorBox::Show(QWidget *parent, QMessageBox::Icon icon, const QString &title, const QString &text,
                    const QString &informative)
{
    QMessageBox box(icon, title, Sentence(text), QMessageBox::Ok, parent);
    box.setInformativeText(informative);
    const QString details = Details(text);
    if (!details.isEmpty()) {
        box.setDetailedText(details);
        // The box's own button is named as the rest of the window speaks; the
        // box names it anew on every press, so it is renamed after each.
        // Qt's own text, as Qt's translation gives it (not one of ours).
        static const char kQtShowDetails[] = "Show Details...";
        const QString show = QCoreApplication::translate("QMessageBox", kQtShowDetails);
        const QList<QPushButton *> buttons = box.findChildren<QPushButton *>();
        for (QPushButton *button : buttons) {
            if (button->text() != show)
                continue;
            button->setObjectName(QStringLiteral("detailsButton"));
            button->setText(tr("Подробнее"));
            QObject::connect(button, &QPushButton::clicked, button, [button] {
                const bool shown = !button->property("detailsShown").toBool();
                button->setProperty("detailsShown", shown);
                button->setText(shown ? tr("Скрыть подробности") : tr("Подробнее"));
            });
        }
    }
    box.exec();
}
