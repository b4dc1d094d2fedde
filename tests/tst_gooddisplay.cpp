#include <QTest>
class TestGoodDisplay : public QObject
{
    Q_OBJECT
};
QTEST_MAIN(TestGoodDisplay)
#include "tst_gooddisplay.moc"
