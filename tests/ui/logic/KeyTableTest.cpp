#include "ui/logic/KeyTable.h"
#include "ui/logic/PlaybackSpeed.h"

#include <gtest/gtest.h>

namespace {

KeyContext Playing() {
    KeyContext context;
    context.layout = LayoutMode::Normal;
    context.playButtonVisible = true;
    context.listRowCount = 3;
    context.volume = 50;
    return context;
}

KeyAction ActionOf(Key key, const KeyContext& context = Playing()) {
    return DecideKey(key, context).action;
}

} // namespace

TEST(KeyTableTest, CommandKeys) {
    EXPECT_EQ(ActionOf(Key::PageUp), KeyAction::Next);
    EXPECT_EQ(ActionOf(Key::PageDown), KeyAction::Pre);
    EXPECT_EQ(ActionOf(Key::Left), KeyAction::SecBack);
    EXPECT_EQ(ActionOf(Key::Right), KeyAction::SecForward);
    EXPECT_EQ(ActionOf(Key::F2), KeyAction::Open);
    EXPECT_EQ(ActionOf(Key::F3), KeyAction::Settings);
    for (const Key key : {Key::Escape, Key::Tab, Key::Other})
        EXPECT_EQ(ActionOf(key), KeyAction::Swallow);
}

TEST(KeyTableTest, ReviewKeysStepFramesAndChangeTheSpeedAsMpvDoes) {
    EXPECT_EQ(ActionOf(Key::Period), KeyAction::FrameNext);
    EXPECT_EQ(ActionOf(Key::Comma), KeyAction::FramePrevious);
    EXPECT_EQ(ActionOf(Key::BracketLeft), KeyAction::Slower);
    EXPECT_EQ(ActionOf(Key::BracketRight), KeyAction::Faster);
    KeyContext paused = Playing();
    paused.playButtonVisible = false;
    paused.pointerInsideList = true;
    EXPECT_EQ(ActionOf(Key::Period, paused), KeyAction::FrameNext) << "not the list's key";
    EXPECT_EQ(VirtualKeyCode(Key::Period), 190);
    EXPECT_EQ(VirtualKeyCode(Key::Comma), 188);
    EXPECT_EQ(VirtualKeyCode(Key::BracketLeft), 219);
    EXPECT_EQ(VirtualKeyCode(Key::BracketRight), 221);
    EXPECT_EQ(VirtualKeyCode(Key::Other), 0);
}

TEST(KeyTableTest, CtrlArrowsWalkTheMarkersAndUTogglesTheUnit) {
    EXPECT_EQ(ActionOf(Key::CtrlRight), KeyAction::MarkerNext);
    EXPECT_EQ(ActionOf(Key::CtrlLeft), KeyAction::MarkerPrevious);
    EXPECT_EQ(ActionOf(Key::U), KeyAction::ToggleUnits);
    // The plain arrows keep their 10 s steps.
    EXPECT_EQ(ActionOf(Key::Left), KeyAction::SecBack);
    EXPECT_EQ(ActionOf(Key::Right), KeyAction::SecForward);
    KeyContext overList = Playing();
    overList.pointerInsideList = true;
    EXPECT_EQ(ActionOf(Key::CtrlRight, overList), KeyAction::MarkerNext) << "not the list's key";
    EXPECT_EQ(VirtualKeyCode(Key::CtrlLeft), VirtualKeyCode(Key::Left));
    EXPECT_EQ(VirtualKeyCode(Key::CtrlRight), VirtualKeyCode(Key::Right));
    EXPECT_EQ(VirtualKeyCode(Key::U), 85);
    // The clip's marks and its export.
    EXPECT_EQ(ActionOf(Key::I), KeyAction::MarkClipStart);
    EXPECT_EQ(ActionOf(Key::O), KeyAction::MarkClipEnd);
    EXPECT_EQ(ActionOf(Key::CtrlE), KeyAction::ExportClip);
}

TEST(KeyTableTest, EnterTogglesByLayout) {
    KeyContext context = Playing();
    EXPECT_EQ(ActionOf(Key::Enter, context), KeyAction::FullScreen);
    context.layout = LayoutMode::FullScreen;
    EXPECT_EQ(ActionOf(Key::Enter, context), KeyAction::RestoreSize);
}

TEST(KeyTableTest, SpacePlaysOnlyWithPlayShownAndRowsListed) {
    KeyContext context = Playing();
    EXPECT_EQ(ActionOf(Key::Space, context), KeyAction::Play);
    context.listRowCount = 0;
    EXPECT_EQ(ActionOf(Key::Space, context), KeyAction::Pause);
    context.listRowCount = 3;
    context.playButtonVisible = false;
    EXPECT_EQ(ActionOf(Key::Space, context), KeyAction::Pause);
}

TEST(KeyTableTest, ArrowsMoveTheVolumeWithinItsRange) {
    KeyContext context = Playing();
    EXPECT_EQ(DecideKey(Key::Up, context), (KeyDecision{KeyAction::VolumeUp, 55}));
    EXPECT_EQ(DecideKey(Key::Down, context), (KeyDecision{KeyAction::VolumeDown, 45}));
    context.volume = 97;
    EXPECT_EQ(DecideKey(Key::Up, context), (KeyDecision{KeyAction::VolumeUp, 99}));
    context.volume = 3;
    EXPECT_EQ(DecideKey(Key::Down, context), (KeyDecision{KeyAction::VolumeDown, 0}));
    context.volume = 150; // out of range positions are brought back first
    EXPECT_EQ(DecideKey(Key::Up, context).volume, 99);
    EXPECT_EQ(DecideKey(Key::Right, context).volume, 99);
}

TEST(KeyTableTest, ArrowsOverTheListGoToTheList) {
    KeyContext context = Playing();
    context.pointerInsideList = true;
    EXPECT_EQ(DecideKey(Key::Up, context), (KeyDecision{KeyAction::PassToList, 50}));
    EXPECT_EQ(DecideKey(Key::Down, context), (KeyDecision{KeyAction::PassToList, 50}));
    EXPECT_EQ(ActionOf(Key::PageUp, context), KeyAction::Next);
}

TEST(KeyTableTest, DigitsChooseTheMainCameraOfAGridOnly) {
    KeyContext six = Playing();
    six.cameras = 6;
    const Key digits[] = {Key::Digit1, Key::Digit2, Key::Digit3,
                          Key::Digit4, Key::Digit5, Key::Digit6};
    for (int c = 0; c < 6; ++c)
        EXPECT_EQ(DecideKey(digits[c], six), (KeyDecision{KeyAction::MainCamera, 50, c})) << c;
    KeyContext four = Playing();
    four.cameras = 4;
    EXPECT_EQ(ActionOf(Key::Digit4, four), KeyAction::MainCamera);
    EXPECT_EQ(ActionOf(Key::Digit5, four), KeyAction::Swallow) << "a camera it does not have";
    // One and two cameras keep their panes, and nothing loaded has no cameras.
    for (const int cameras : {0, 1, 2}) {
        KeyContext few = Playing();
        few.cameras = cameras;
        for (const Key key : digits)
            EXPECT_EQ(ActionOf(key, few), KeyAction::Swallow) << cameras;
    }
    six.downloadBusy = true;
    EXPECT_EQ(ActionOf(Key::Digit3, six), KeyAction::Swallow);
    EXPECT_EQ(VirtualKeyCode(Key::Digit1), 49);
    EXPECT_EQ(VirtualKeyCode(Key::Digit6), 54);
}

TEST(KeyTableTest, EverythingIsSwallowedWhileDownloading) {
    KeyContext context = Playing();
    context.downloadBusy = true;
    context.pointerInsideList = true;
    for (const Key key : {Key::Enter,    Key::Space,     Key::PageUp,      Key::PageDown,
                          Key::Left,     Key::Right,     Key::Up,          Key::Down,
                          Key::F2,       Key::F3,        Key::Escape,      Key::Tab,
                          Key::Period,   Key::Comma,     Key::BracketLeft, Key::BracketRight,
                          Key::CtrlLeft, Key::CtrlRight, Key::U,           Key::I,
                          Key::O,        Key::CtrlE,     Key::Other})
        EXPECT_EQ(DecideKey(key, context), (KeyDecision{KeyAction::Swallow, 50}));
}

TEST(PlaybackSpeedTest, StepsThroughTheOfferedSpeedsAndNamesThem) {
    EXPECT_EQ(PlaybackSpeed::Faster(100), 200);
    EXPECT_EQ(PlaybackSpeed::Faster(400), 800);
    EXPECT_EQ(PlaybackSpeed::Faster(800), 800);
    EXPECT_EQ(PlaybackSpeed::Faster(150), 200) << "a speed between steps goes to the next one";
    EXPECT_EQ(PlaybackSpeed::Slower(100), 50);
    EXPECT_EQ(PlaybackSpeed::Slower(50), 25);
    EXPECT_EQ(PlaybackSpeed::Slower(25), 25);
    EXPECT_EQ(PlaybackSpeed::Slower(150), 100);
    EXPECT_EQ(PlaybackSpeed::Text(25), "0.25x");
    EXPECT_EQ(PlaybackSpeed::Text(50), "0.5x");
    EXPECT_EQ(PlaybackSpeed::Text(100), "1x");
    EXPECT_EQ(PlaybackSpeed::Text(800), "8x");
    EXPECT_EQ(PlaybackSpeed::Text(125), "1.25x");
}
