#include <memory>

#include <QAbstractItemModelTester>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QListView>
#include <QMessageBox>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>

#include "checkedstringlistdialog.h"
#include "checkedstringlistmodel.h"
#include "exportoptionsdialog.h"
#include "filter.h"
#include "filterslabel.h"
#include "model.h"
#include "modalhelper.h"
#include "pricedialog.h"

namespace {

// Two offers with goods: ShopA priced 100 to 250, ShopB priced 40.
const char kFeed[] =
        "name;price;oldprice;categoryId;vendor;advcampaign_name\r\n"
        "Boots;100;;Обувь/Сапоги;Acme;ShopA\r\n"
        "Dress;250;300;Одежда/Платья;beta;ShopA\r\n"
        "Hat;40;;Аксессуары;Gamma;ShopB\r\n";

QString PlainText(const QString &html)
{
    QTextDocument document;
    document.setHtml(html);
    return document.toPlainText();
}

// Every link target of a piece of rich text, in order.
QStringList Links(const QString &html)
{
    QTextDocument document;
    document.setHtml(html);
    QStringList links;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QString href = it.fragment().charFormat().anchorHref();
            if (!href.isEmpty() && (links.isEmpty() || links.last() != href))
                links.append(href);
        }
    }
    return links;
}

enum ModelKind { NoModel, EmptyModel, LoadedModel };

} // namespace

Q_DECLARE_METATYPE(ModelKind)

class TestFilterWidgets : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void labelText_data();
    void labelText();
    void labelListsFewVendors_data();
    void labelListsFewVendors();
    void vendorNamesAreNotMarkup_data();
    void vendorNamesAreNotMarkup();
    void linkActions_data();
    void linkActions();
    void linksWithoutFilterDoNothing();
    void chooseVendors();
    void chooseVendorsCancelled();
    void vendorListSearch_data();
    void vendorListSearch();
    void choosePrice_data();
    void choosePrice();

    void priceDialogRanges_data();
    void priceDialogRanges();
    void priceBoundsStayAsTyped_data();
    void priceBoundsStayAsTyped();

    void checkStates();
    void checkStatesFollowRows();
    void checkedModelTester();

    void exportColumns_data();
    void exportColumns();

private:
    void LoadFeed();
    void SetVendors(const QStringList &names);

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<Model> m_model;
    Filter m_filter;
};

void TestFilterWidgets::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_model = std::make_unique<Model>();
    m_filter = Filter();
}

void TestFilterWidgets::LoadFeed()
{
    const QString path = m_dir->filePath(QStringLiteral("feed.csv"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(kFeed);
    file.close();
    QVERIFY2(m_model->AddFile(path), qPrintable(m_model->LastError()));
}

void TestFilterWidgets::SetVendors(const QStringList &names)
{
    for (const QString &name : names)
        m_filter.vendors.insert(m_model->Vendors().Insert(name));
}

void TestFilterWidgets::labelText_data()
{
    QTest::addColumn<bool>("hasFilter");
    QTest::addColumn<int>("low");
    QTest::addColumn<int>("high");
    QTest::addColumn<QStringList>("vendors");
    QTest::addColumn<bool>("discount");
    QTest::addColumn<QString>("priceText");
    QTest::addColumn<QString>("vendorText");
    QTest::addColumn<QString>("discountText");

    const QString anyPrice = QStringLiteral("<a href=\"#choosePrice\">Любая цена</a>");
    const QString anyVendor = QStringLiteral("<a href=\"#chooseVendor\">Любой производитель</a>");
    const QString anyDiscount = QStringLiteral("<a href=\"#chooseOldPrice\">Неважно есть скидка или нет</a>");
    const QString oneVendor = QStringLiteral(
            "<a href=\"#chooseVendor\">Производители: Acme</a> <a href=\"#clearVendor\">&#215;</a>");
    const QString discountOnly = QStringLiteral("Только если есть скидка <a href=\"#clearOldPrice\">&#215;</a>");

    QTest::newRow("no filter") << false << -1 << -1 << QStringList() << false << anyPrice << anyVendor << anyDiscount;
    QTest::newRow("empty filter") << true << -1 << -1 << QStringList() << false << anyPrice << anyVendor
                                  << anyDiscount;
    QTest::newRow("price range")
            << true << 100 << 200 << QStringList() << false
            << QStringLiteral("<a href=\"#choosePrice\">Цена с 100 до 200</a> <a href=\"#clearPrice\">&#215;</a>")
            << anyVendor << anyDiscount;
    QTest::newRow("zero range")
            << true << 0 << 0 << QStringList() << false
            << QStringLiteral("<a href=\"#choosePrice\">Цена с 0 до 0</a> <a href=\"#clearPrice\">&#215;</a>")
            << anyVendor << anyDiscount;
    QTest::newRow("only low bound")
            << true << 100 << -1 << QStringList() << false
            << QStringLiteral("<a href=\"#choosePrice\">Цена от 100</a> <a href=\"#clearPrice\">&#215;</a>")
            << anyVendor << anyDiscount;
    QTest::newRow("only high bound")
            << true << -1 << 200 << QStringList() << false
            << QStringLiteral("<a href=\"#choosePrice\">Цена до 200</a> <a href=\"#clearPrice\">&#215;</a>")
            << anyVendor << anyDiscount;
    QTest::newRow("one vendor") << true << -1 << -1 << QStringList{"Acme"} << false << anyPrice << oneVendor
                                << anyDiscount;
    QTest::newRow("four vendors")
            << true << -1 << -1 << QStringList{"A", "B", "C", "D"} << false << anyPrice
            << QStringLiteral("<a href=\"#chooseVendor\">Выбраны некоторые производители</a> "
                              "<a href=\"#clearVendor\">&#215;</a>")
            << anyDiscount;
    QTest::newRow("discount") << true << -1 << -1 << QStringList() << true << anyPrice << anyVendor << discountOnly;
    QTest::newRow("all parts")
            << true << 5 << 7 << QStringList{"Acme"} << true
            << QStringLiteral("<a href=\"#choosePrice\">Цена с 5 до 7</a> <a href=\"#clearPrice\">&#215;</a>")
            << oneVendor << discountOnly;
}

void TestFilterWidgets::labelText()
{
    QFETCH(bool, hasFilter);
    QFETCH(int, low);
    QFETCH(int, high);
    QFETCH(QStringList, vendors);
    QFETCH(bool, discount);
    QFETCH(QString, priceText);
    QFETCH(QString, vendorText);
    QFETCH(QString, discountText);

    m_filter.priceLow = low;
    m_filter.priceHigh = high;
    m_filter.discountOnly = discount;
    SetVendors(vendors);

    FiltersLabel label;
    label.SetFilter(hasFilter ? &m_filter : nullptr, m_model.get());
    const QString expected =
            QStringLiteral("Фильтры: ") + QStringList{priceText, vendorText, discountText}.join(QStringLiteral(", "));
    QCOMPARE(label.text(), expected);
    QCOMPARE(label.textFormat(), Qt::RichText);
}

void TestFilterWidgets::labelListsFewVendors_data()
{
    QTest::addColumn<QStringList>("vendors");
    QTest::newRow("one") << QStringList{"Acme"};
    QTest::newRow("two") << QStringList{"Acme", "Beta Tools"};
    QTest::newRow("three") << QStringList{"Acme", "Beta Tools", "Гамма"};
}

void TestFilterWidgets::labelListsFewVendors()
{
    QFETCH(QStringList, vendors);
    SetVendors(vendors);
    FiltersLabel label;
    label.SetFilter(&m_filter, m_model.get());

    // The set decides the order; every name is listed once, between the
    // caption and the clear mark.
    const QString plain = PlainText(label.text());
    const QString caption = QStringLiteral("Производители: ");
    const int start = plain.indexOf(caption) + caption.size();
    QVERIFY(start >= caption.size());
    const int end = plain.indexOf(QStringLiteral(" ×"), start);
    const QString listed = plain.mid(start, end - start);
    for (const QString &vendor : vendors)
        QVERIFY2(listed.contains(vendor), qPrintable(listed));
    QCOMPARE(listed.size(), vendors.join(QLatin1Char(' ')).size());
    QCOMPARE(Links(label.text()),
             (QStringList{"#choosePrice", "#chooseVendor", "#clearVendor", "#chooseOldPrice"}));
}

void TestFilterWidgets::vendorNamesAreNotMarkup_data()
{
    QTest::addColumn<QString>("vendor");
    QTest::newRow("bold tag") << QStringLiteral("<b>");
    QTest::newRow("link") << QStringLiteral("<a href=\"#clearPrice\">x</a>");
    QTest::newRow("ampersand") << QStringLiteral("Tom & Jerry");
    QTest::newRow("entity") << QStringLiteral("&#215;");
    QTest::newRow("quotes") << QStringLiteral("\"Best\" 'tools'");
}

void TestFilterWidgets::vendorNamesAreNotMarkup()
{
    QFETCH(QString, vendor);
    SetVendors({vendor});
    FiltersLabel label;
    label.SetFilter(&m_filter, m_model.get());

    QVERIFY2(PlainText(label.text()).contains(QStringLiteral("Производители: ") + vendor),
             qPrintable(PlainText(label.text())));
    QCOMPARE(Links(label.text()),
             (QStringList{"#choosePrice", "#chooseVendor", "#clearVendor", "#chooseOldPrice"}));

    QTextDocument document;
    document.setHtml(label.text());
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it)
            QVERIFY(it.fragment().charFormat().fontWeight() != QFont::Bold);
    }
}

void TestFilterWidgets::linkActions_data()
{
    QTest::addColumn<QString>("link");
    QTest::addColumn<bool>("emitted");
    QTest::addColumn<int>("low");
    QTest::addColumn<int>("high");
    QTest::addColumn<int>("vendorCount");
    QTest::addColumn<bool>("discount");

    // The filter starts at 10..20, one vendor, discount off.
    QTest::newRow("clear vendors") << "#clearVendor" << true << 10 << 20 << 0 << false;
    QTest::newRow("clear price") << "#clearPrice" << true << -1 << -1 << 1 << false;
    QTest::newRow("discount on") << "#chooseOldPrice" << true << 10 << 20 << 1 << true;
    QTest::newRow("discount off") << "#clearOldPrice" << true << 10 << 20 << 1 << false;
    QTest::newRow("unknown") << "#clearEverything" << false << 10 << 20 << 1 << false;
    QTest::newRow("without hash") << "clearPrice" << false << 10 << 20 << 1 << false;
    QTest::newRow("other case") << "#ClearPrice" << false << 10 << 20 << 1 << false;
    QTest::newRow("empty") << "" << false << 10 << 20 << 1 << false;
}

void TestFilterWidgets::linkActions()
{
    QFETCH(QString, link);
    QFETCH(bool, emitted);
    QFETCH(int, low);
    QFETCH(int, high);
    QFETCH(int, vendorCount);
    QFETCH(bool, discount);

    m_filter.priceLow = 10;
    m_filter.priceHigh = 20;
    SetVendors({"Acme"});
    FiltersLabel label;
    label.SetFilter(&m_filter, m_model.get());
    QSignalSpy spy(&label, &FiltersLabel::flterUpdated);

    // Through the label's own signal, as a click on the link delivers it.
    emit label.linkActivated(link);

    QCOMPARE(spy.count(), emitted ? 1 : 0);
    QCOMPARE(m_filter.priceLow, low);
    QCOMPARE(m_filter.priceHigh, high);
    QCOMPARE(m_filter.vendors.size(), vendorCount);
    QCOMPARE(m_filter.discountOnly, discount);
}

void TestFilterWidgets::linksWithoutFilterDoNothing()
{
    FiltersLabel label;
    label.SetFilter(nullptr, m_model.get());
    QSignalSpy spy(&label, &FiltersLabel::flterUpdated);
    for (const char *link : {"#clearVendor", "#clearPrice", "#chooseOldPrice", "#clearOldPrice"})
        label.onLinkActivated(QLatin1String(link));
    QCOMPARE(spy.count(), 0);
}

void TestFilterWidgets::chooseVendors()
{
    // "Gone" was chosen before the data it came from was cleared away.
    SetVendors({"Gone", "Acme"});
    m_model->Clear(true);
    LoadFeed();
    QVERIFY(!m_model->Vendors().Contains(QStringLiteral("Gone")));

    FiltersLabel label;
    label.SetFilter(&m_filter, m_model.get());
    QSignalSpy spy(&label, &FiltersLabel::flterUpdated);

    bool shown = false;
    OnNextModal([&shown](QWidget *modal) {
        auto *dialog = qobject_cast<CheckedStringListDialog *>(modal);
        QVERIFY(dialog);
        shown = true;
        QCOMPARE(dialog->windowTitle(), QStringLiteral("Выбор производителя"));
        CheckedStringListModel *model = dialog->model;
        QCOMPARE(model->stringList(), (QStringList{"Acme", "beta", "Gamma", "Gone"}));
        QCOMPARE(model->CheckedStrings(), (QStringList{"Acme", "Gone"}));
        model->setData(model->index(0), Qt::Unchecked, Qt::CheckStateRole);
        model->setData(model->index(1), Qt::Checked, Qt::CheckStateRole);
        dialog->accept();
    });
    label.onLinkActivated(QStringLiteral("#chooseVendor"));

    QVERIFY(shown);
    QCOMPARE(spy.count(), 1);
    // "Gone" stayed checked but no loaded good has it: it is dropped.
    QCOMPARE(m_filter.vendors.size(), 1);
    const QString *beta = m_model->Vendors().Find(QStringLiteral("beta"));
    QVERIFY(beta);
    QVERIFY(m_filter.vendors.contains(beta));
}

void TestFilterWidgets::chooseVendorsCancelled()
{
    LoadFeed();
    SetVendors({"Acme"});
    FiltersLabel label;
    label.SetFilter(&m_filter, m_model.get());
    QSignalSpy spy(&label, &FiltersLabel::flterUpdated);

    bool shown = false;
    OnNextModal([&shown](QWidget *modal) {
        auto *dialog = qobject_cast<CheckedStringListDialog *>(modal);
        QVERIFY(dialog);
        shown = true;
        dialog->model->setData(dialog->model->index(2), Qt::Checked, Qt::CheckStateRole);
        dialog->reject();
    });
    label.onLinkActivated(QStringLiteral("#chooseVendor"));

    QVERIFY(shown);
    QCOMPARE(spy.count(), 0);
    QCOMPARE(m_filter.vendors, QSet<const QString *>{m_model->Vendors().Find(QStringLiteral("Acme"))});
}

void TestFilterWidgets::vendorListSearch_data()
{
    QTest::addColumn<QString>("search");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QStringList>("checked");
    // "Acme" is in the filter from the start; the buttons act on the rows shown.
    QTest::newRow("tick the found, case aside") << "M" << "checkAll" << QStringList{"Acme", "Gamma"};
    QTest::newRow("tick one more") << "et" << "checkAll" << QStringList{"Acme", "beta"};
    QTest::newRow("clear the found only") << "ga" << "uncheckAll" << QStringList{"Acme"};
    QTest::newRow("tick every one") << "" << "checkAll" << QStringList{"Acme", "beta", "Gamma"};
    QTest::newRow("clear every one") << "" << "uncheckAll" << QStringList();
}

void TestFilterWidgets::vendorListSearch()
{
    QFETCH(QString, search);
    QFETCH(QString, button);
    QFETCH(QStringList, checked);
    LoadFeed();
    SetVendors({"Acme"});
    FiltersLabel label;
    label.SetFilter(&m_filter, m_model.get());
    QStringList ticked;
    OnNextModal([&](QWidget *modal) {
        auto *dialog = qobject_cast<CheckedStringListDialog *>(modal);
        QVERIFY(dialog);
        dialog->findChild<QLineEdit *>(QStringLiteral("searchEdit"))->setText(search);
        dialog->findChild<QPushButton *>(button)->click();
        ticked = dialog->model->CheckedStrings();
        dialog->accept();
    });
    label.onLinkActivated(QStringLiteral("#chooseVendor"));
    QCOMPARE(ticked, checked);
    QCOMPARE(m_filter.vendors.size(), checked.size());
}

void TestFilterWidgets::choosePrice_data()
{
    QTest::addColumn<bool>("accept");
    QTest::addColumn<int>("setLow");
    QTest::addColumn<int>("setHigh");
    QTest::addColumn<int>("low");
    QTest::addColumn<int>("high");

    QTest::newRow("new range") << true << 50 << 200 << 50 << 200;
    // Only the bounds the user set are kept: today's dearest good must not
    // become the upper bound for tomorrow's feeds.
    QTest::newRow("only from") << true << 50 << -1 << 50 << -1;
    QTest::newRow("only to") << true << -1 << 200 << -1 << 200;
    QTest::newRow("unchanged") << true << -1 << -1 << -1 << -1;
    QTest::newRow("cancelled") << false << 50 << 200 << -1 << -1;
}

void TestFilterWidgets::choosePrice()
{
    QFETCH(bool, accept);
    QFETCH(int, setLow);
    QFETCH(int, setHigh);
    QFETCH(int, low);
    QFETCH(int, high);

    LoadFeed();
    FiltersLabel label;
    label.SetFilter(&m_filter, m_model.get());
    QSignalSpy spy(&label, &FiltersLabel::flterUpdated);

    bool shown = false;
    OnNextModal([&](QWidget *modal) {
        auto *dialog = qobject_cast<PriceDialog *>(modal);
        QVERIFY(dialog);
        shown = true;
        QCOMPARE(dialog->lowSpin->value(), 40);
        QCOMPARE(dialog->highSpin->value(), 250);
        if (setHigh != -1)
            dialog->highSpin->setValue(setHigh);
        if (setLow != -1)
            dialog->lowSpin->setValue(setLow);
        if (accept)
            dialog->accept();
        else
            dialog->reject();
    });
    label.onLinkActivated(QStringLiteral("#choosePrice"));

    QVERIFY(shown);
    QCOMPARE(spy.count(), accept ? 1 : 0);
    QCOMPARE(m_filter.priceLow, low);
    QCOMPARE(m_filter.priceHigh, high);
}

void TestFilterWidgets::priceDialogRanges_data()
{
    QTest::addColumn<ModelKind>("kind");
    QTest::addColumn<bool>("hasFilter");
    QTest::addColumn<int>("filterLow");
    QTest::addColumn<int>("filterHigh");
    QTest::addColumn<int>("minimum");
    QTest::addColumn<int>("maximum");
    QTest::addColumn<int>("low");
    QTest::addColumn<int>("high");
    QTest::addColumn<QString>("rangeText");

    QTest::newRow("nothing known") << NoModel << false << -1 << -1 << 0 << 0 << 0 << 0 << QString();
    QTest::newRow("no offer with goods")
            << EmptyModel << true << -1 << -1 << 0 << 0 << 0 << 0 << QString();
    QTest::newRow("no goods, filter bounds")
            << EmptyModel << true << 10 << 50 << 10 << 50 << 10 << 50 << QString();
    QTest::newRow("no goods, one bound") << EmptyModel << true << 10 << -1 << 10 << 10 << 10 << 10 << QString();
    QTest::newRow("goods") << LoadedModel << true << -1 << -1 << 40 << 250 << 40 << 250
                           << QStringLiteral("(доступные значения от 40 до 250)");
    QTest::newRow("goods without filter") << LoadedModel << false << -1 << -1 << 40 << 250 << 40 << 250
                                          << QStringLiteral("(доступные значения от 40 до 250)");
    QTest::newRow("goods, filter inside") << LoadedModel << true << 100 << 200 << 40 << 250 << 100 << 200
                                          << QStringLiteral("(доступные значения от 40 до 250)");
    QTest::newRow("goods, filter outside") << LoadedModel << true << 10 << 1000 << 40 << 250 << 40 << 250
                                           << QStringLiteral("(доступные значения от 40 до 250)");
    QTest::newRow("goods, only low bound") << LoadedModel << true << 100 << -1 << 40 << 250 << 100 << 250
                                           << QStringLiteral("(доступные значения от 40 до 250)");
}

void TestFilterWidgets::priceDialogRanges()
{
    QFETCH(ModelKind, kind);
    QFETCH(bool, hasFilter);
    QFETCH(int, filterLow);
    QFETCH(int, filterHigh);
    QFETCH(int, minimum);
    QFETCH(int, maximum);
    QFETCH(int, low);
    QFETCH(int, high);
    QFETCH(QString, rangeText);

    // An offer without goods takes no part, whatever its price summary says.
    Offer *idle = m_model->FindOrCreateOffer(QStringLiteral("Idle"));
    idle->priceInfo.minPrice = 1;
    idle->priceInfo.maxPrice = 9999;
    if (kind == LoadedModel)
        LoadFeed();
    m_filter.priceLow = filterLow;
    m_filter.priceHigh = filterHigh;

    PriceDialog dialog;
    dialog.Preset(kind == NoModel ? nullptr : m_model.get(), hasFilter ? &m_filter : nullptr);

    QCOMPARE(dialog.highSpin->minimum(), minimum);
    QCOMPARE(dialog.highSpin->maximum(), maximum);
    QCOMPARE(dialog.lowSpin->minimum(), minimum);
    QCOMPARE(dialog.lowSpin->value(), low);
    QCOMPARE(dialog.highSpin->value(), high);
    QCOMPARE(dialog.rangeLabel->isVisibleTo(&dialog), !rangeText.isEmpty());
    if (!rangeText.isEmpty())
        QCOMPARE(dialog.rangeLabel->text(), rangeText);
}

void TestFilterWidgets::priceBoundsStayAsTyped_data()
{
    QTest::addColumn<QString>("low");
    QTest::addColumn<QString>("high");
    QTest::addColumn<int>("filterLow");
    QTest::addColumn<int>("filterHigh");

    // The upper bound passes through 9, 90 and 900 as it is typed: none of
    // them may touch the lower one.
    QTest::newRow("typed bounds are kept") << "2000" << "9000" << 2000 << 9000;
    // Refused: the filter keeps the range it had.
    QTest::newRow("lower above upper is refused") << "5000" << "1000" << 1 << 10000;
}

void TestFilterWidgets::priceBoundsStayAsTyped()
{
    QFETCH(QString, low);
    QFETCH(QString, high);
    QFETCH(int, filterLow);
    QFETCH(int, filterHigh);

    FiltersLabel label;
    label.SetFilter(&m_filter, m_model.get());
    // Without goods the dialog offers the filter's range.
    m_filter.priceLow = 1;
    m_filter.priceHigh = 10000;
    // Lives as long as the test: a warning box is read and closed.
    ModalCloser boxes(QMessageBox::Ok, ModalCloser::MessageBoxesOnly);
    bool stayedOpen = false;
    OnNextModal([&](QWidget *modal) {
        auto *dialog = qobject_cast<PriceDialog *>(modal);
        QVERIFY(dialog);
        const auto type = [](QSpinBox *spin, const QString &text) {
            spin->setFocus();
            spin->selectAll();
            QTest::keyClicks(spin, text);
        };
        type(dialog->lowSpin, low);
        type(dialog->highSpin, high);
        QTest::keyClick(dialog->highSpin, Qt::Key_Return);
        stayedOpen = dialog->isVisible();
        if (stayedOpen)
            dialog->reject();
    });
    label.onLinkActivated(QStringLiteral("#choosePrice"));

    const bool refused = low.toInt() > high.toInt();
    const QString warning = boxes.texts.join(QLatin1Char('\n'));
    QCOMPARE(m_filter.priceLow, filterLow);
    QCOMPARE(m_filter.priceHigh, filterHigh);
    QCOMPARE(stayedOpen, refused);
    QCOMPARE(warning.isEmpty(), !refused);
    if (!warning.isEmpty())
        QVERIFY2(warning.contains(low) && warning.contains(high), qPrintable(warning));
}

void TestFilterWidgets::checkStates()
{
    CheckedStringListModel model({"a", "b", "c"}, Qt::Checked);
    QCOMPARE(model.CheckedStrings(), (QStringList{"a", "b", "c"}));
    QVERIFY(model.flags(model.index(1)) & Qt::ItemIsUserCheckable);
    QVERIFY(model.flags(model.index(1)) & Qt::ItemIsEnabled);

    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    QVERIFY(model.setData(model.index(1), Qt::Unchecked, Qt::CheckStateRole));
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed.at(0).at(0).toModelIndex(), model.index(1));
    QCOMPARE(changed.at(0).at(2).value<QVector<int>>(), QVector<int>{Qt::CheckStateRole});
    QCOMPARE(model.data(model.index(1), Qt::CheckStateRole).toInt(), int(Qt::Unchecked));
    QCOMPARE(model.data(model.index(0), Qt::CheckStateRole).toInt(), int(Qt::Checked));
    QCOMPARE(model.CheckedStrings(), (QStringList{"a", "c"}));

    // Partly checked is not checked.
    QVERIFY(model.setData(model.index(0), Qt::PartiallyChecked, Qt::CheckStateRole));
    QCOMPARE(model.CheckedStrings(), QStringList{"c"});

    // The text stays editable through the base model.
    QVERIFY(model.setData(model.index(2), QStringLiteral("z")));
    QCOMPARE(model.CheckedStrings(), QStringList{"z"});
    QVERIFY(!model.setData(QModelIndex(), Qt::Checked, Qt::CheckStateRole));
    QVERIFY(!model.data(QModelIndex(), Qt::CheckStateRole).isValid());

    CheckedStringListModel unchecked({"a", "b"}, Qt::Unchecked);
    QCOMPARE(unchecked.CheckedStrings(), QStringList());
}

void TestFilterWidgets::checkStatesFollowRows()
{
    CheckedStringListModel model({"a", "b", "c"}, Qt::Checked);
    model.setData(model.index(1), Qt::Unchecked, Qt::CheckStateRole);

    QVERIFY(model.insertRows(1, 2));
    model.setData(model.index(1), QStringLiteral("x"));
    model.setData(model.index(2), QStringLiteral("y"));
    QCOMPARE(model.CheckedStrings(), (QStringList{"a", "c"}));

    QVERIFY(model.removeRows(0, 2));
    QCOMPARE(model.stringList(), (QStringList{"y", "b", "c"}));
    QCOMPARE(model.CheckedStrings(), QStringList{"c"});

    QVERIFY(model.moveRows(QModelIndex(), 2, 1, QModelIndex(), 0));
    QCOMPARE(model.stringList(), (QStringList{"c", "y", "b"}));
    QCOMPARE(model.CheckedStrings(), QStringList{"c"});

    model.SetStrings({"p", "q"}, Qt::Checked);
    QCOMPARE(model.CheckedStrings(), (QStringList{"p", "q"}));
}

void TestFilterWidgets::checkedModelTester()
{
    CheckedStringListModel model({"a", "b"}, Qt::Unchecked);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);

    QVERIFY(model.insertRows(2, 3));
    for (int row = 2; row < 5; ++row) {
        QVERIFY(model.setData(model.index(row), QStringLiteral("n%1").arg(row)));
        QVERIFY(model.setData(model.index(row), Qt::Checked, Qt::CheckStateRole));
    }
    QVERIFY(model.removeRows(0, 1));
    QCOMPARE(model.CheckedStrings(), (QStringList{"n2", "n3", "n4"}));
    model.SetStrings({"x", "y", "z"}, Qt::Unchecked);
    QVERIFY(model.setData(model.index(2), Qt::Checked, Qt::CheckStateRole));
    QCOMPARE(model.CheckedStrings(), QStringList{"z"});
    model.SetStrings({}, Qt::Checked);
    QCOMPARE(model.rowCount(), 0);
}

void TestFilterWidgets::exportColumns_data()
{
    QTest::addColumn<QStringList>("columns");
    QTest::addColumn<bool>("baseMarked");
    QTest::addColumn<QStringList>("shown");
    QTest::addColumn<QStringList>("selected");

    QTest::newRow("computed columns offered")
            << QStringList{"name", "price", "url"} << false
            << QStringList{"name", "price", "url", "advcampaign_name", "idTpl", "status"}
            << QStringList{"name", "price", "url"};
    // A delta must tell deleted goods from added ones.
    QTest::newRow("status ticked after a base load")
            << QStringList{"name", "price"} << true
            << QStringList{"name", "price", "advcampaign_name", "idTpl", "status"}
            << QStringList{"name", "price", "status"};
    QTest::newRow("given columns stay ticked")
            << QStringList{"name", "status", "advcampaign_name"} << false
            << QStringList{"name", "status", "advcampaign_name", "idTpl"}
            << QStringList{"name", "status", "advcampaign_name"};
    QTest::newRow("other case is another column")
            << QStringList{"Advcampaign_name"} << false
            << QStringList{"Advcampaign_name", "advcampaign_name", "idTpl", "status"}
            << QStringList{"Advcampaign_name"};
}

void TestFilterWidgets::exportColumns()
{
    QFETCH(QStringList, columns);
    QFETCH(bool, baseMarked);
    QFETCH(QStringList, shown);
    QFETCH(QStringList, selected);

    ExportOptionsDialog dialog(columns, nullptr, baseMarked);
    auto *view = dialog.findChild<QListView *>(QStringLiteral("listView"));
    QVERIFY(view);
    auto *model = qobject_cast<CheckedStringListModel *>(view->model());
    QVERIFY(model);
    QCOMPARE(model->stringList(), shown);
    QCOMPARE(dialog.SelectedColumns(), selected);

    // What the user ticks is taken along, in list order.
    for (int row = 0; row < shown.size(); ++row)
        model->setData(model->index(row), row == 0 ? Qt::Unchecked : Qt::Checked, Qt::CheckStateRole);
    QCOMPARE(dialog.SelectedColumns(), shown.mid(1));
}

QTEST_MAIN(TestFilterWidgets)
#include "tst_filterwidgets.moc"
