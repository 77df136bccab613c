// One volume in the status bar: a borderless button whose label shows the volume's drive glyph,
// its name and its state (StatusTexts.h), with the volume's state in its tooltip. A click hides the
// volume from the results or shows it again, by changing the preferences' hidden volumes (which
// the application model observes: it stores the set and searches again); the volume stays indexed
// either way. A hidden volume's label is painted at 45 % opacity, starts with the "eye.slash"
// glyph and strikes its name through.
//
// It redraws after each change of the volume state or of the preferences. It never takes the
// keyboard focus, so a click leaves the focus in the query field.
//
// Threads: main thread. The preferences must outlive the chip; the chip holds its volume state.
#pragma once

#include "QuorvantaApp/Widgets/CoalescedRefresh.h"

#include <QAbstractButton>

#include <memory>

class QGraphicsOpacityEffect;

namespace quorvanta::app {

class Prefs;
class Spinner;
class ToneGlyph;
class ToneText;
class VolumeState;

class VolumeChip final : public QAbstractButton {
public:
    static constexpr qreal kHiddenOpacity = 0.45;
    static constexpr int kSpacing = 4;

    VolumeChip(std::shared_ptr<VolumeState> v, Prefs& prefs, QWidget* parent = nullptr);
    ~VolumeChip() override;

    const std::shared_ptr<VolumeState>& volume() const { return v_; }
    // Whether the preferences hide the volume from the results.
    bool isHiddenVolume() const;
    // The opacity the label is painted at: 0.45 hidden, 1 shown.
    qreal labelOpacity() const;

    // The label's parts, for the tests: the "eye.slash" glyph (shown only while hidden), the drive
    // glyph, the name, the spinner, the check mark and the state text.
    ToneGlyph* eyeGlyph() const { return eye_; }
    ToneGlyph* driveGlyph() const { return drive_; }
    ToneText* nameText() const { return name_; }
    Spinner* spinner() const { return spinner_; }
    ToneGlyph* checkGlyph() const { return check_; }
    ToneText* stateText() const { return state_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void refresh();
    void toggle();

    std::shared_ptr<VolumeState> v_;
    Prefs& prefs_;
    QWidget* label_;
    QGraphicsOpacityEffect* fade_;
    ToneGlyph* eye_;
    ToneGlyph* drive_;
    ToneText* name_;
    Spinner* spinner_;
    ToneGlyph* check_;
    ToneText* state_;
    CoalescedRefresh refresh_;
};

}  // namespace quorvanta::app
