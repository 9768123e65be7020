#include "ui/motif_views.h"

namespace xoprex::ui {

// ---- LogoView

LogoView::LogoView(QWidget* parent) : PictureView(parent) {
    setObjectName(QStringLiteral("logoView"));
    setMinimumSize(480, 320);
}

void LogoView::setModel(const MotifModel& model, const QString& title) {
    forward_ = logoColumns(model, false);
    reverse_ = logoColumns(model, true);
    title_ = title.toStdString();
    update();
}

Picture LogoView::picture(const QSize& size) const {
    return logoPicture(forward_, reverse_, title_, size.width(), size.height());
}

// ---- ScoreView

ScoreView::ScoreView(QWidget* parent) : PictureView(parent) {
    setObjectName(QStringLiteral("scoreView"));
    setMinimumSize(480, 320);
    plot_ = scorePlot({}, {}, 0.0, "");
}

void ScoreView::setScores(const std::vector<double>& selfScores,
                          const std::vector<double>& hitScores, double cutOff,
                          const QString& method) {
    plot_ = scorePlot(selfScores, hitScores, cutOff, method.toStdString());
    update();
}

Picture ScoreView::picture(const QSize& size) const {
    return scorePicture(plot_, size.width(), size.height());
}

}  // namespace xoprex::ui
