// The sample grid: geometry and clicks, keys at the edges, the command rules and cluster labels.

#include "app/browser/sample_pad_model.h"

#include "tests/integration/database/scripted_dialogs.h"

#include <gtest/gtest.h>

namespace {

using browser::GridKey;
using browser::PadButton;
using browser::SampleItem;
using browser::SamplePadModel;
using database::SampleChoice;

recognition::FaceDescriptor Descriptor(float first) {
    recognition::FaceDescriptor descriptor;
    descriptor.values[0] = first;
    return descriptor;
}

// Samples with ids 1..count, each with a descriptor.
std::vector<SampleItem> Samples(int count) {
    std::vector<SampleItem> samples;
    for (int i = 1; i <= count; ++i) {
        samples.push_back({i, QImage(150, 150, QImage::Format_RGB32), Descriptor(static_cast<float>(i))});
    }
    return samples;
}

// 3 columns (500 pixels) and 2 rows a page (330 pixels).
SamplePadModel Pad(int count, int32_t personId = 7) {
    SamplePadModel pad;
    pad.SetViewport(500, 330);
    pad.ShowPerson(personId, Samples(count));
    return pad;
}

TEST(SamplePadModelTest, CellsWrapByTheWidthAndOnlyTheMarkSquareToggles) {
    SamplePadModel pad = Pad(7);
    EXPECT_EQ(pad.Columns(), 3);
    EXPECT_EQ(pad.Rows(), 3);
    EXPECT_EQ(pad.PageRows(), 2);
    EXPECT_EQ(pad.ScrollRange(), 1);
    EXPECT_EQ(pad.CellRect(4), QRect(160, 160, 160, 160));

    EXPECT_FALSE(pad.HitTest({490, 10})) << "the strip right of the last column holds no cell";
    EXPECT_FALSE(pad.Click({170, 330}, PadButton::Left)) << "the short last row ends after its first cell";
    EXPECT_FALSE(pad.Current());

    // Inside the mark square of cell 4 (x 160..191, y 160..191): current and marked.
    ASSERT_TRUE(pad.Click({191, 191}, PadButton::Left));
    EXPECT_EQ(pad.Current(), 4);
    EXPECT_TRUE(pad.Items()[4].selected);
    // Just outside the square, or with the right button: current only.
    ASSERT_TRUE(pad.Click({192, 170}, PadButton::Left));
    EXPECT_TRUE(pad.Items()[4].selected);
    ASSERT_TRUE(pad.Click({5, 5}, PadButton::Right));
    EXPECT_EQ(pad.Current(), 0);
    EXPECT_FALSE(pad.Items()[0].selected);
    ASSERT_TRUE(pad.Click({165, 165}, PadButton::Left));
    EXPECT_FALSE(pad.Items()[4].selected);

    // Scrolled down a row, the same points hit the next row's cells.
    pad.SetTopRow(5);
    EXPECT_EQ(pad.TopRow(), 1);
    EXPECT_EQ(pad.HitTest({5, 5}), 3);
    EXPECT_EQ(pad.CellRect(6).topLeft(), QPoint(0, 160));
    ASSERT_TRUE(pad.Click({170, 10}, PadButton::Left));
    EXPECT_EQ(pad.Current(), 4);
    EXPECT_TRUE(pad.Items()[4].selected);
}

TEST(SamplePadModelTest, ArrowsStopAtTheEdgesAndDownReachesAShortLastRow) {
    SamplePadModel pad = Pad(7);  // rows 0-2, 3-5, 6
    EXPECT_TRUE(pad.Key(GridKey::Right)) << "without a current cell any move starts at the first";
    EXPECT_EQ(pad.Current(), 0);
    EXPECT_FALSE(pad.Key(GridKey::Left));
    EXPECT_FALSE(pad.Key(GridKey::Up));
    EXPECT_FALSE(pad.Key(GridKey::Home));

    EXPECT_TRUE(pad.Key(GridKey::Right));
    EXPECT_TRUE(pad.Key(GridKey::Right));
    EXPECT_EQ(pad.Current(), 2);
    EXPECT_FALSE(pad.Key(GridKey::Right)) << "the row does not wrap";
    EXPECT_TRUE(pad.Key(GridKey::Down));
    EXPECT_EQ(pad.Current(), 5);
    EXPECT_TRUE(pad.Key(GridKey::Down)) << "nothing below: the last sample";
    EXPECT_EQ(pad.Current(), 6);
    EXPECT_EQ(pad.TopRow(), 1) << "the current cell is scrolled into view";
    EXPECT_FALSE(pad.Key(GridKey::Down));
    EXPECT_FALSE(pad.Key(GridKey::Right));
    EXPECT_FALSE(pad.Key(GridKey::End));
    EXPECT_TRUE(pad.Key(GridKey::Up));
    EXPECT_EQ(pad.Current(), 3);
    EXPECT_TRUE(pad.Key(GridKey::Home));
    EXPECT_EQ(pad.Current(), 0);
    EXPECT_EQ(pad.TopRow(), 0);
    EXPECT_TRUE(pad.Key(GridKey::End));
    EXPECT_EQ(pad.Current(), 6);

    EXPECT_TRUE(pad.ToggleCurrent());
    EXPECT_TRUE(pad.Items()[6].selected);
    EXPECT_TRUE(pad.ToggleCurrent());
    EXPECT_FALSE(pad.Items()[6].selected);

    SamplePadModel empty = Pad(0);
    EXPECT_FALSE(empty.Key(GridKey::Down));
    EXPECT_FALSE(empty.ToggleCurrent());
}

TEST(SamplePadModelTest, PagesMoveByTheRowsShownAndStopAtTheEnds) {
    SamplePadModel pad = Pad(16);  // six rows, the last holding sample 15 alone
    pad.Click({170, 10}, PadButton::Right);
    ASSERT_EQ(pad.Current(), 1);

    EXPECT_TRUE(pad.Key(GridKey::PageDown));
    EXPECT_EQ(pad.Current(), 7);
    EXPECT_TRUE(pad.Key(GridKey::PageDown));
    EXPECT_EQ(pad.Current(), 13);
    EXPECT_EQ(pad.TopRow(), 3);
    EXPECT_TRUE(pad.Key(GridKey::PageDown)) << "the last row has no cell in this column";
    EXPECT_EQ(pad.Current(), 15);
    EXPECT_EQ(pad.TopRow(), 4);
    EXPECT_FALSE(pad.Key(GridKey::PageDown));

    EXPECT_TRUE(pad.Key(GridKey::PageUp));
    EXPECT_EQ(pad.Current(), 9);
    EXPECT_EQ(pad.TopRow(), 3);
    EXPECT_TRUE(pad.Key(GridKey::PageUp));
    EXPECT_TRUE(pad.Key(GridKey::PageUp)) << "fewer rows than a page above: the first row";
    EXPECT_EQ(pad.Current(), 0);
    EXPECT_EQ(pad.TopRow(), 0);
    EXPECT_FALSE(pad.Key(GridKey::PageUp));
}

TEST(SamplePadModelTest, CommandsFollowTheSamplesTheSelectionAndTheLimits) {
    SamplePadModel none;
    auto commands = none.Commands(true, nullptr);
    EXPECT_FALSE(commands.addFromFile);
    EXPECT_FALSE(commands.selectAll);

    SamplePadModel pad = Pad(15);
    commands = pad.Commands(true, nullptr);
    EXPECT_TRUE(commands.addFromFile);
    EXPECT_TRUE(commands.addFromClipboard);
    EXPECT_FALSE(pad.Commands(false, nullptr).addFromClipboard);
    EXPECT_TRUE(commands.selectAll);
    EXPECT_FALSE(commands.clearAll);
    EXPECT_FALSE(commands.cut);
    EXPECT_FALSE(commands.remove);
    EXPECT_TRUE(commands.clusters);
    EXPECT_FALSE(pad.Target());

    pad.Click({5, 5}, PadButton::Right);
    auto target = pad.Target();
    ASSERT_TRUE(target);
    EXPECT_EQ(target->choice, SampleChoice::Current);
    EXPECT_EQ(target->SampleIds(), std::vector<int32_t>{1});
    EXPECT_TRUE(pad.Commands(true, nullptr).cut);

    pad.SelectAll();
    EXPECT_EQ(pad.SelectedCount(), 15);
    EXPECT_TRUE(pad.Commands(true, nullptr).clearAll);
    pad.ClearAll();
    pad.Click({330, 5}, PadButton::Left);    // marks sample 3, now current
    pad.Click({170, 170}, PadButton::Left);  // marks sample 5
    pad.Click({10, 170}, PadButton::Right);  // current sample 4, unmarked
    target = pad.Target();
    ASSERT_TRUE(target);
    EXPECT_EQ(target->choice, SampleChoice::Selected) << "marks win over the current cell";
    EXPECT_EQ(target->SampleIds(), (std::vector<int32_t>{3, 5}));
    ASSERT_TRUE(target->samples[1].descriptor);
    EXPECT_EQ(target->samples[1].descriptor->values[0], 5.0f);

    // Removing samples keeps the current one by its id.
    pad.Remove({3, 5});
    EXPECT_EQ(pad.Count(), 13);
    ASSERT_TRUE(pad.Current());
    EXPECT_EQ(pad.Items()[*pad.Current()].sampleId, 4);
    EXPECT_EQ(pad.SelectedCount(), 0);

    pad.Add(Samples(1)[0]);
    pad.Add(Samples(1)[0]);
    pad.Add(Samples(1)[0]);
    EXPECT_EQ(pad.Count(), 16);
    EXPECT_FALSE(pad.Commands(true, nullptr).addFromFile);
    EXPECT_FALSE(pad.Commands(true, nullptr).addFromClipboard);
}

TEST(SamplePadModelTest, PasteNeedsAnotherPersonsSamplesAndRoom) {
    dbtest::ScriptedDialogs dialogs;
    database::SampleClipboard clipboard;
    SamplePadModel pad = Pad(15, 7);
    EXPECT_FALSE(pad.Commands(false, &clipboard).paste) << "nothing cut";

    clipboard.Cut(dialogs, 7, {}, {{1, Descriptor(1)}});
    EXPECT_FALSE(pad.Commands(false, &clipboard).paste) << "the person's own samples";

    SamplePadModel other = Pad(15, 8);
    EXPECT_TRUE(other.Commands(false, &clipboard).paste);
    other.Add(Samples(1)[0]);
    EXPECT_FALSE(other.Commands(false, &clipboard).paste) << "16 samples already";
    EXPECT_FALSE(SamplePadModel().Commands(false, &clipboard).paste) << "no person shown";
}

TEST(SamplePadModelTest, ClusterLabelsGoToTheSamplesWithDescriptors) {
    std::vector<SampleItem> samples = Samples(4);
    samples[1].descriptor.reset();  // damaged when stored
    SamplePadModel pad;
    pad.SetViewport(500, 330);
    pad.ShowPerson(7, std::move(samples));
    const auto descriptors = pad.Descriptors();
    ASSERT_EQ(descriptors.size(), 3u);
    EXPECT_EQ(descriptors[1].values[0], 3.0f);

    pad.SetClusterLabels({1, 2, 1});
    EXPECT_EQ(pad.Items()[0].cluster, 1);
    EXPECT_EQ(pad.Items()[1].cluster, 0);
    EXPECT_EQ(pad.Items()[2].cluster, 2);
    EXPECT_EQ(pad.Items()[3].cluster, 1);
    pad.ClearClusterLabels();
    EXPECT_EQ(pad.Items()[2].cluster, 0);

    // Clustering needs two samples that can be compared.
    pad.Remove({1, 3});
    EXPECT_EQ(pad.Count(), 2);
    EXPECT_FALSE(pad.Commands(false, nullptr).clusters);
}

}  // namespace
