// The motif's pictures: the sequence logo of both strands and the histogram
// of the collection's self-scores with the fitted normal curve, the hits'
// scores and the cut-off (described by report/pictures.h).
#pragma once

#include <vector>

#include "report/pictures.h"
#include "ui/picture_view.h"

namespace xoprex::ui {

class LogoView : public PictureView {
    Q_OBJECT
  public:
    explicit LogoView(QWidget* parent = nullptr);

    void setModel(const MotifModel& model, const QString& title);
    const std::vector<LogoColumn>& forward() const { return forward_; }
    const std::vector<LogoColumn>& reverse() const { return reverse_; }

    Picture picture(const QSize& size) const override;

  private:
    std::vector<LogoColumn> forward_;
    std::vector<LogoColumn> reverse_;
    std::string title_;
};

class ScoreView : public PictureView {
    Q_OBJECT
  public:
    explicit ScoreView(QWidget* parent = nullptr);

    // `hitScores` may be many: they are binned at once.
    void setScores(const std::vector<double>& selfScores, const std::vector<double>& hitScores,
                   double cutOff, const QString& method);

    Picture picture(const QSize& size) const override;

  private:
    ScorePlot plot_;
};

}  // namespace xoprex::ui
