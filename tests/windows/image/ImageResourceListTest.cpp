// The image list panel on the offscreen platform, used as a person uses it: its buttons, clicks on
// thumbnails, the scroll bar and the wheel, with "images.dat" read back after every command; and a
// program killed right after an add.
#include <QProcess>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QWheelEvent>

#include "common/Messages.h"
#include "platform/TextEncoding.h"
#include "tests/support/FileBytes.h"
#include "windows/image/CImageResourceListDlg.h"
#include "windows/image/ImageThumbnailStrip.h"
#include "windows/skin/CXPStyleButtonST.h"

namespace {

// Records the messages the panel would show.
class ShownMessages {
 public:
  ShownMessages() {
    previous_ = kalimo::SetMessagePresenter([this](const kalimo::UserMessage& message) {
      shown.push_back(message);
      return kalimo::MessageAnswer::Ok;
    });
  }
  ~ShownMessages() { kalimo::SetMessagePresenter(previous_); }
  std::vector<kalimo::UserMessage> shown;

 private:
  kalimo::MessagePresenter previous_;
};

}  // namespace

class ImageResourceListTest : public QObject {
  Q_OBJECT

  QTemporaryDir program_;
  QStringList images_;  // a.png (red), b.jpg (green), c.bmp (blue)

  QString ListFile() const { return program_.filePath("images.dat"); }
  QString ListText() const {
    return QString::fromStdString(
        kalimo::platform::Gb18030ToUtf8(kalimo::test::ReadBytes(ListFile().toStdString())).value_or("<not GB18030>"));
  }
  QString Lines(std::initializer_list<int> order) const {
    QStringList lines;
    for (int i : order) lines << images_[i];
    return lines.join("\r\n");
  }
  // Writes "images.dat" as the program does, in GB18030.
  void WriteList(std::initializer_list<int> order) const {
    kalimo::test::WriteBytes(ListFile().toStdString(),
                             kalimo::platform::Utf8ToGb18030(Lines(order).toStdString()).value());
  }
  static void Click(QWidget* widget, QPoint at = {}) {
    QTest::mouseClick(widget, Qt::LeftButton, {}, at.isNull() ? widget->rect().center() : at);
  }
  static QPoint BandCentre(const CImageResourceListDlg& panel, std::int32_t index) {
    for (const ImageThumbnailStrip::Band& band : panel.Strip()->VisibleBands()) {
      if (band.index == index) return band.rect.center();
    }
    qFatal("image %d is not visible", index);
  }
  static QList<bool> Enabled(const CImageResourceListDlg& panel) {
    return {panel.AddButton()->isEnabled(), panel.DeleteButton()->isEnabled(), panel.ClearButton()->isEnabled(),
            panel.UpButton()->isEnabled(), panel.DownButton()->isEnabled()};
  }

 private slots:
  void initTestCase() {
    qputenv("KALIMO_PROGRAM_DIR", program_.path().toUtf8());
    const std::pair<const char*, QColor> files[] = {{"a.png", Qt::red}, {"图片b.jpg", Qt::green}, {"c.bmp", Qt::blue}};
    for (const auto& [name, colour] : files) {
      QImage image(40, 30, QImage::Format_RGB32);
      image.fill(colour);
      images_ << program_.filePath(QString::fromUtf8(name));
      QVERIFY(image.save(images_.back()));
    }
  }
  void init() { QFile::remove(ListFile()); }

  void buttonsHaveTheirPicturesAndTooltips() {
    CImageResourceListDlg panel;
    const std::tuple<CXPStyleButtonST*, const char*, const char*, const char*> buttons[] = {
        {panel.AddButton(), "添加", "addMovie.png", "1002"}, {panel.DeleteButton(), "删除", "Delete.png", "1019"},
        {panel.ClearButton(), "清空", "Clear.png", "1020"},   {panel.UpButton(), "向上", "up.png", "1021"},
        {panel.DownButton(), "向下", "down.png", "1022"},
    };
    for (const auto& [button, caption, picture, id] : buttons) {
      QCOMPARE(button->toolTip(), QString::fromUtf8(caption));
      QCOMPARE(button->PictureName(), QString::fromUtf8(picture));
      QCOMPARE(button->objectName(), QString::fromUtf8(id));
    }
  }

  void enablingFollowsTheListAndTheSelection() {
    {
      CImageResourceListDlg panel;  // no images.dat
      QCOMPARE(Enabled(panel), (QList<bool>{true, false, false, false, false}));
      panel.SetFileChooser([&](QWidget*) { return QStringList{images_[0], images_[1]}; });
      Click(panel.AddButton());
      QCOMPARE(Enabled(panel), (QList<bool>{true, false, true, false, false}));
    }
    CImageResourceListDlg panel;  // reads the two images back
    panel.resize(226, 400);
    QCOMPARE(panel.Images().Count(), 2);
    Click(panel.Strip(), BandCentre(panel, 1));
    QCOMPARE(panel.Images().SelectedIndex(), 1);
    QCOMPARE(Enabled(panel), (QList<bool>{true, true, true, true, true}));
    Click(panel.Strip(), QPoint(5, panel.Strip()->height() - 3));  // empty space below the strip's pictures
    QCOMPARE(panel.Images().SelectedIndex(), -1);
    QCOMPARE(Enabled(panel), (QList<bool>{true, false, true, false, false}));
    Click(panel.Strip(), BandCentre(panel, 0));
    Click(panel.DeleteButton());
    QCOMPARE(Enabled(panel), (QList<bool>{true, false, true, false, false}));
    Click(panel.Strip(), BandCentre(panel, 0));
    Click(panel.DeleteButton());
    QCOMPARE(Enabled(panel), (QList<bool>{true, false, false, false, false}));
  }

  void everyCommandReachesImagesDatAtOnce() {
    CImageResourceListDlg panel;
    panel.resize(226, 500);
    QStringList chosen = {images_[0], program_.filePath("anim.gif"), images_[1], images_[2]};
    panel.SetFileChooser([&](QWidget*) { return chosen; });
    Click(panel.AddButton());
    QCOMPARE(ListText(), Lines({0, 1, 2}));

    Click(panel.Strip(), BandCentre(panel, 0));
    Click(panel.UpButton());  // the first image cannot go up
    QCOMPARE(ListText(), Lines({0, 1, 2}));
    Click(panel.DownButton());
    QCOMPARE(ListText(), Lines({1, 0, 2}));
    QCOMPARE(panel.Images().SelectedIndex(), 1);
    Click(panel.DownButton());
    Click(panel.DownButton());  // the last image cannot go down
    QCOMPARE(ListText(), Lines({1, 2, 0}));
    Click(panel.UpButton());
    QCOMPARE(ListText(), Lines({1, 0, 2}));
    Click(panel.DeleteButton());
    QCOMPARE(ListText(), Lines({1, 2}));

    chosen = {program_.filePath("UPPER.PNG")};
    Click(panel.AddButton());
    QCOMPARE(ListText(), Lines({1, 2}) + "\r\n" + chosen[0]);

    ShownMessages messages;
    Click(panel.ClearButton());
    QVERIFY(messages.shown.empty());  // no question
    QCOMPARE(kalimo::test::ReadBytes(ListFile().toStdString()), std::string());
  }

  void deleteWithoutSelectionSaysHowToSelect() {
    WriteList({0});
    CImageResourceListDlg panel;
    // As the list opens with images, "删除" is enabled before anything is selected.
    QVERIFY(panel.DeleteButton()->isEnabled());
    ShownMessages messages;
    Click(panel.DeleteButton());
    QCOMPARE(messages.shown.size(), 1u);
    QCOMPARE(messages.shown[0].text, std::string("请选择需要删除的图片，用鼠标单击就可以了"));
    QCOMPARE(messages.shown[0].caption, std::string("Corvessa"));
    QCOMPARE(ListText(), Lines({0}));
  }

  void doubleClickOpensThePictureAndReportsAFailure() {
    WriteList({0, 1});
    CImageResourceListDlg panel;
    panel.resize(226, 400);
    QStringList opened;
    bool opens = true;
    panel.SetFileOpener([&](const QString& path) {
      opened << path;
      return opens;
    });
    ShownMessages messages;
    QTest::mouseDClick(panel.Strip(), Qt::LeftButton, {}, BandCentre(panel, 1));
    QCOMPARE(opened, QStringList{images_[1]});
    QVERIFY(messages.shown.empty());
    QTest::mouseDClick(panel.Strip(), Qt::LeftButton, {}, QPoint(5, panel.Strip()->height() - 3));
    QCOMPARE(opened.size(), 1);  // empty space opens nothing
    opens = false;
    QTest::mouseDClick(panel.Strip(), Qt::LeftButton, {}, BandCentre(panel, 0));
    QCOMPARE(messages.shown.size(), 1u);
    QCOMPARE(messages.shown[0].text, std::string("Can’t ShellExecute\n"));
  }

  void thumbnailsAreDrawnStretchedWithTheSelectionBand() {
    WriteList({0, 1, 2});
    CImageResourceListDlg panel;
    panel.resize(226, 500);
    ImageThumbnailStrip* strip = panel.Strip();
    // About 133 wide: the frame's spare width is halved on each side.
    QVERIFY(qAbs(strip->width() - 133) <= 1);
    const int right = strip->width() - 2;
    Click(strip, BandCentre(panel, 1));
    const QImage shot = strip->grab().toImage();
    // Band k from y = 10 + 110 k, 100 high, the full width; the selected one 2 pixels inside blue.
    QCOMPARE(shot.pixelColor(1, 15), QColor(Qt::red));
    QCOMPARE(shot.pixelColor(right, 105), QColor(Qt::red));
    QCOMPARE(shot.pixelColor(1, 120), ImageThumbnailStrip::kSelectionColour);
    QCOMPARE(shot.pixelColor(66, 121), ImageThumbnailStrip::kSelectionColour);
    // The middle image is a JPEG: its flat green comes back within a step or two.
    const QColor green = shot.pixelColor(66, 170);
    QVERIFY2(green.red() < 8 && green.green() > 247 && green.blue() < 8, qPrintable(green.name()));
    QCOMPARE(shot.pixelColor(66, 235), QColor(Qt::blue));
    QCOMPARE(shot.pixelColor(66, 115), panel.palette().window().color());  // the gap between bands
    // Painting again decodes nothing.
    const int decoded = strip->Thumbnails().DecodeCount();
    QCOMPARE(decoded, 3);
    for (int i = 0; i < 5; ++i) strip->repaint();
    QCOMPARE(strip->Thumbnails().DecodeCount(), decoded);
  }

  void largeThumbnailsKeepTheirColours_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QImage>("image");
    QImage blue(1600, 1200, QImage::Format_RGB32);
    blue.fill(QColor(0, 0, 255));
    // A flat picture is often saved as a 1-bit palette PNG, which Qt scales within its two colours.
    QImage palette(1600, 1200, QImage::Format_Mono);
    palette.setColorTable({qRgb(0, 0, 255), qRgb(255, 255, 255)});
    palette.fill(0);
    QTest::newRow("1-bit palette png") << "mono.png" << palette;
    QTest::newRow("jpeg") << "photo.jpg" << blue;
    QTest::newRow("bmp") << "large.bmp" << blue;
  }
  void largeThumbnailsKeepTheirColours() {
    QFETCH(QString, name);
    QFETCH(QImage, image);
    const QString path = program_.filePath(name);
    QVERIFY(image.save(path));
    ImageThumbnailCache cache;
    const QImage thumbnail = cache.Thumbnail(path);
    QCOMPARE(thumbnail.size(), QSize(266, 200));
    for (const QPoint& point : {QPoint(0, 0), QPoint(133, 100), QPoint(265, 199), QPoint(40, 170)}) {
      const QColor colour = thumbnail.pixelColor(point);
      QVERIFY2(colour.red() < 8 && colour.green() < 8 && colour.blue() > 247, qPrintable(colour.name()));
    }
  }

  void scrollBarOnlyWhenNeededWithLinePageAndWheelSteps() {
    WriteList({0, 1, 2});
    CImageResourceListDlg panel;
    QCOMPARE(panel.ScrollBar()->value(), 0);  // a list as read starts at its top
    panel.show();
    QVERIFY(QTest::qWaitForWindowExposed(&panel));
    // The strip is the panel's height less 74 (buttons, margins, frame): 250 < 3 × 110.
    panel.resize(226, 324);
    ImageThumbnailStrip* strip = panel.Strip();
    QScrollBar* bar = panel.ScrollBar();
    QCOMPARE(strip->height(), 250);
    QVERIFY(bar->isVisible());
    QCOMPARE(bar->value(), 0);
    QCOMPARE(bar->maximum(), 90);  // the last thumbnail whole, 10 pixels above the bottom
    QCOMPARE(bar->pageStep(), 250);
    bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    QCOMPARE(strip->ScrollPosition(), 90);
    QCOMPARE(strip->VisibleBands().front().rect.top(), -80);
    bar->triggerAction(QAbstractSlider::SliderPageStepSub);
    QCOMPARE(strip->ScrollPosition(), 0);
    QWheelEvent down(QPointF(10, 10), strip->mapToGlobal(QPointF(10, 10)), {}, QPoint(0, -120), Qt::NoButton,
                     Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(strip, &down);
    QCOMPARE(strip->ScrollPosition(), 90);
    QWheelEvent up(QPointF(10, 10), strip->mapToGlobal(QPointF(10, 10)), {}, QPoint(0, 120), Qt::NoButton,
                   Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(strip, &up);
    QCOMPARE(strip->ScrollPosition(), 0);
    // Taller: everything fits and the bar goes.
    panel.resize(226, 500);
    QVERIFY(!bar->isVisible());
    // A list of many: one more image moves the position by its 110 pixels.
    panel.resize(226, 324);
    panel.AddImageFiles({images_[0], images_[1], images_[2]});
    QCOMPARE(bar->maximum(), 6 * 110 + 10 - 250);
    QCOMPARE(bar->value(), 330);
    QCOMPARE(strip->FirstVisibleIndex(), 3);
  }

  void aKilledProgramKeepsTheImageItJustAdded() {
    WriteList({0});
    QProcess helper;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("KALIMO_PROGRAM_DIR", program_.path());
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    helper.setProcessEnvironment(environment);
    helper.start(QStringLiteral(KALIMO_KILL_HELPER), {images_[2]});
    QVERIFY(helper.waitForFinished(60000));
    QCOMPARE(helper.exitStatus(), QProcess::CrashExit);  // SIGKILL, no destructor ran
    QCOMPARE(ListText(), Lines({0, 2}));
    QVERIFY(!QFile::exists(program_.filePath("tmp_images.dat")));
  }
};

QTEST_MAIN(ImageResourceListTest)
#include "ImageResourceListTest.moc"
