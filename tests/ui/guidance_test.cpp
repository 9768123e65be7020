// The threshold guidance beside the main window's threshold: the numbers
// the core gives for the form's values, following the form's changes
// (computed off the window's thread).
#include "pipeline/guidance.h"

#include <QComboBox>
#include <QLabel>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QtTest>

#include "fake_services.h"
#include "options/options.h"
#include "seqio/sequence.h"
#include "ui/main_dialog.h"

namespace {

const QString kExamples = QStringLiteral(XOPREX_EXAMPLES);
// The figures come from a worker thread (slow under the sanitizers).
constexpr int kWait = 60000;

bool same(const xoprex::ThresholdGuidance& a, const xoprex::ThresholdGuidance& b) {
    return a.cutOff == b.cutOff && a.pValue == b.pValue &&
           a.expectedPerMegabase == b.expectedPerMegabase;
}

}  // namespace

class GuidanceTest : public QObject {
    Q_OBJECT
  private slots:
    void guidanceFollowsThresholdMethodAndBackground() {
        QTemporaryDir start;
        const QString previous = QDir::currentPath();
        QDir::setCurrent(start.path());
        FakeServices services;
        {
            COprex_AppDlg dialog(nullptr, &services);
            dialog.show();
            auto* label = dialog.findChild<QLabel*>(QStringLiteral("thresholdGuidance"));
            QTRY_VERIFY(label->text().startsWith(QStringLiteral("Choose a collection")));
            QVERIFY(!dialog.guidance());

            const std::string collection = (kExamples + "/crp_sites.txt").toStdString();
            dialog.chooseSequenceFile(kExamples + QStringLiteral("/pPCP1.gbk"));
            dialog.chooseCollectionFile(QString::fromStdString(collection));
            xoprex::Options options = xoprex::factoryOptions();
            QTRY_VERIFY_WITH_TIMEOUT(dialog.guidance().has_value(), kWait);
            QVERIFY(same(*dialog.guidance(), xoprex::thresholdGuidance(collection, options)));
            QVERIFY(label->text().contains(QString::number(dialog.guidance()->cutOff, 'f', 3)));

            // A literal threshold with another method.
            auto* method = dialog.findChild<QComboBox*>(QStringLiteral("methodCombo"));
            method->setCurrentIndex(4);
            dialog.findChild<QComboBox*>(QStringLiteral("thresholdCombo"))
                ->setEditText(QStringLiteral("3.5"));
            dialog.findChild<QRadioButton*>(QStringLiteral("literalCutOff"))->click();
            options.method = 5;
            options.threshold = 3.5;
            options.literalCutOff = true;
            const xoprex::ThresholdGuidance literal =
                xoprex::thresholdGuidance(collection, options);
            QTRY_VERIFY_WITH_TIMEOUT(dialog.guidance() && same(*dialog.guidance(), literal), kWait);
            QCOMPARE(dialog.guidance()->cutOff, 3.5);

            // The genome's composition as the background.
            dialog.findChild<QRadioButton*>(QStringLiteral("backgroundYes"))->click();
            xoprex::SequenceSet target =
                xoprex::readSequences((kExamples + "/pPCP1.gbk").toStdString());
            xoprex::computeBackgroundComposition(target.records.front());
            options.backgroundFromGenome = true;
            const xoprex::ThresholdGuidance genome =
                xoprex::thresholdGuidance(collection, options, &target.records.front());
            QTRY_VERIFY_WITH_TIMEOUT(dialog.guidance() && same(*dialog.guidance(), genome), kWait);
            QVERIFY(!same(genome, xoprex::thresholdGuidance(collection, options)));
            QVERIFY(services.errors.empty());
        }
        QDir::setCurrent(previous);
    }
};

QTEST_MAIN(GuidanceTest)
#include "guidance_test.moc"
