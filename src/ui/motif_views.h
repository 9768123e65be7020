// The motif's pictures: the sequence logo of both strands and the histogram
// of the collection's self-scores with the fitted normal curve, the hits'
// scores and the cut-off.
#pragma once

#include <vector>

#include "ui/picture_data.h"
#include "ui/picture_view.h"

namespace xoprex::ui {

class LogoView : public PictureView {
    Q_OBJECT
  public:
    explicit LogoView(QWidget* parent = nullptr);

    void setModel(const MotifModel& model, const QString& title);
    const std::vector<LogoColumn>& forward() const { return forward_; }
    const std::vector<LogoColumn>& reverse() const { return reverse_; }

    void paintPicture(QPainter& painter, const QSize& size) const override;

  private:
    std::vector<LogoColumn> forward_;
    std::vector<LogoColumn> reverse_;
    QString title_;
};

class ScoreView : public PictureView {
    Q_OBJECT
  public:
    explicit ScoreView(QWidget* parent = nullptr);

    // `hitScores` may be many: they are binned at once.
    void setScores(const std::vector<double>& selfScores, const std::vector<double>& hitScores,
                   double cutOff, const QString& method);

    void paintPicture(QPainter& painter, const QSize& size) const override;

  private:
    ScoreHistogram self_;
    std::vector<int> hits_;  // hit scores in the same bins
    int hitsOutside_ = 0;    // beyond the bins (scores far from the collection's)
    std::size_t siteCount_ = 0;
    std::size_t hitCount_ = 0;
    double cutOff_ = 0.0;
    QString method_;
};

}  // namespace xoprex::ui
