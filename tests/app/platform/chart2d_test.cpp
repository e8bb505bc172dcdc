// The 2-D chart adapter: the "GENERAL" file reader, series and points,
// labels, display codes and picture export.
#include "platform/chart2d.h"
#include "platform/chart_files.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QChart>
#include <QChartView>
#include <QFontMetrics>
#include <QValueAxis>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>

using namespace sorvan::platform;

namespace {

void writeFile(const QString& path, const QByteArray& bytes) {
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(bytes);
}

// Two series as the engine writes them: header counts that do not match the
// series (100 points announced), comment lines in code page 1252, lists
// wrapped over several lines and CR LF line ends.
const QByteArray kGeneral =
    "GENERAL 2 100\r\nHOLE -1\r\n# estimador cl\xe1sico\r\n4\r\n 10.5 20.25\r\n 30 40\r\n"
    "0.1 0.2 -1 0.4\r\n# estimador robusto\r\n4\r\n10.5 20.25 30 40\r\n0.15 0.25 0.35 4.5E-01\r\n";

class Chart2DTest : public ::testing::Test {
protected:
  void SetUp() override {
    ASSERT_TRUE(dir.isValid());
    writeFile(dir.filePath("dos.sv"), kGeneral);
    chart.resize(600, 400);
    chart.show();
  }
  QTemporaryDir dir;
  Chart2D chart;
};

}  // namespace

TEST(GeneralFile, ReadsSeriesAcrossWrappedLinesAndSkipsComments) {
  QTemporaryDir dir;
  writeFile(dir.filePath("a.sv"), kGeneral);
  GeneralData data;
  QString error;
  ASSERT_TRUE(ReadGeneralFile(dir.filePath("a.sv"), data, &error)) << error.toStdString();
  EXPECT_EQ(data.hole, -1.0);
  ASSERT_EQ(data.series.size(), 2u);
  EXPECT_EQ(data.series[0].x, (std::vector<double>{10.5, 20.25, 30, 40}));
  EXPECT_EQ(data.series[0].y[2], -1.0);
  EXPECT_DOUBLE_EQ(data.series[1].y[3], 0.45);
}

TEST(GeneralFile, RefusesShortOrForeignFilesByName) {
  QTemporaryDir dir;
  const std::pair<const char*, QByteArray> bad[] = {
      {"corto.sv", "GENERAL 2 100\nHOLE -1\n# a\n3\n1 2 3\n0.1 0.2\n"},
      {"letras.sv", "GENERAL 1 100\nHOLE -1\n3\n1 dos 3\n1 2 3\n"},
      {"ajeno.sv", " GRID 3 3\n-10000 1 1 0 0\n"},
      // A point count beyond any integer (found by fuzzing: converted before it was refused).
      {"enorme.sv", "GENERAL 2 100\nHOLE -1\n# a\n3999999999999999999999\n 1 2 9\n 0.5\n"},
      {"vacio.sv", ""}};
  for (const auto& [name, bytes] : bad) {
    writeFile(dir.filePath(name), bytes);
    GeneralData data;
    data.hole = 123;
    QString error;
    EXPECT_FALSE(ReadGeneralFile(dir.filePath(name), data, &error)) << name;
    EXPECT_TRUE(error.contains(name)) << error.toStdString();
    EXPECT_EQ(data.hole, 123);  // nothing half read
  }
}

TEST(NumberStream, StopsAtTheFirstNonNumber) {
  bool complete = true;
  auto v = ReadNumberStream("1, 2\n3.5 x 4", &complete);
  EXPECT_EQ(v, (std::vector<double>{1, 2, 3.5}));
  EXPECT_FALSE(complete);
  v = ReadNumberStream(" 7\r\n8 ", &complete);
  EXPECT_EQ(v, (std::vector<double>{7, 8}));
  EXPECT_TRUE(complete);
}

TEST_F(Chart2DTest, LoadReplacesTheDataAndKeepsLabelsAndStyles) {
  chart.SeriesLabel(1, "Estimador");
  chart.SeriesStyle(2, 0, 0);
  chart.SetSeriesCount(5);
  chart.AddLabel().Text = "viejo";
  ASSERT_TRUE(chart.LoadDataFile(dir.filePath("dos.sv")));
  EXPECT_EQ(chart.SeriesCount(), 2);
  EXPECT_EQ(chart.LabelCount(), 0);
  EXPECT_EQ(chart.PointCount(2), 4);
  EXPECT_DOUBLE_EQ(chart.X(1, 2), 20.25);
  EXPECT_DOUBLE_EQ(chart.Y(2, 4), 0.45);
  EXPECT_EQ(chart.SeriesLabelText(1), "Estimador");
  EXPECT_EQ(chart.LineCode(2), 0);
  // A file that cannot be read leaves the chart as it was.
  QString error;
  EXPECT_FALSE(chart.LoadDataFile(dir.filePath("falta.sv"), &error));
  EXPECT_TRUE(error.contains("falta.sv"));
  EXPECT_EQ(chart.PointCount(1), 4);
}

TEST_F(Chart2DTest, RaisingCountsAddsEmptySeriesAndZeroPoints) {
  ASSERT_TRUE(chart.LoadDataFile(dir.filePath("dos.sv")));
  chart.Batch(true);
  chart.SetSeriesCount(4);
  EXPECT_EQ(chart.PointCount(3), 0);
  chart.SetPointCount(4, 3);
  chart.SetX(4, 3, 55.0);
  chart.Batch(false);
  EXPECT_EQ(chart.PointCount(4), 3);
  EXPECT_EQ(chart.X(4, 1), 0.0);
  EXPECT_EQ(chart.X(4, 3), 55.0);
  EXPECT_EQ(chart.Y(4, 3), 0.0);
}

TEST_F(Chart2DTest, OnlyOneSeriesIsEmphasisedAtATime) {
  ASSERT_TRUE(chart.LoadDataFile(dir.filePath("dos.sv")));
  chart.SeriesDisplayCode(2, 3);
  chart.SeriesDisplayCode(2, 4);
  EXPECT_EQ(chart.DisplayCode(2), 4);
  chart.SeriesDisplayCode(1, 3);
  chart.SeriesDisplayCode(1, 4);
  EXPECT_EQ(chart.DisplayCode(1), 4);
  EXPECT_EQ(chart.DisplayCode(2), 3);
}

TEST_F(Chart2DTest, ClickOnThePlotIsReported) {
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&chart));
  int clicks = 0;
  QObject::connect(&chart, &Chart2D::ChartClicked, [&] { ++clicks; });
  QWidget* viewport = chart.childAt(300, 200);
  ASSERT_NE(viewport, nullptr);
  QTest::mouseClick(viewport, Qt::LeftButton, {}, viewport->mapFrom(&chart, QPoint(300, 200)));
  QTest::mouseClick(viewport, Qt::RightButton, {}, viewport->mapFrom(&chart, QPoint(300, 200)));
  EXPECT_EQ(clicks, 1);
}

TEST_F(Chart2DTest, PictureExportsAsPngAndPdf) {
  ASSERT_TRUE(chart.LoadDataFile(dir.filePath("dos.sv")));
  ASSERT_TRUE(chart.ExportPicture(dir.filePath("g.png")));
  const QImage png(dir.filePath("g.png"));
  EXPECT_EQ(png.size(), chart.size());
  ASSERT_TRUE(chart.ExportPicture(dir.filePath("g.pdf")));
  QFile pdf(dir.filePath("g.pdf"));
  ASSERT_TRUE(pdf.open(QIODevice::ReadOnly));
  EXPECT_TRUE(pdf.read(5) == "%PDF-");
  EXPECT_GT(pdf.size(), 1000);
  EXPECT_FALSE(chart.ExportPicture(dir.filePath("no/hay/carpeta.png")));
}

TEST_F(Chart2DTest, PictureExportsAsSvgOfTheChartSize) {
  ASSERT_TRUE(chart.LoadDataFile(dir.filePath("dos.sv")));
  ASSERT_TRUE(chart.ExportPicture(dir.filePath("g.svg")));
  QFile svg(dir.filePath("g.svg"));
  ASSERT_TRUE(svg.open(QIODevice::ReadOnly));
  QXmlStreamReader xml(&svg);
  ASSERT_TRUE(xml.readNextStartElement()) << xml.errorString().toStdString();
  EXPECT_EQ(xml.name(), QStringLiteral("svg"));
  EXPECT_EQ(xml.attributes().value("viewBox").toString(),
            QString("0 0 %1 %2").arg(chart.width()).arg(chart.height()));
  // The drawing is made of vector shapes (the points, lines and texts).
  int shapes = 0;
  while (!xml.atEnd())
    if (xml.readNext() == QXmlStreamReader::StartElement && (xml.name() == u"path" || xml.name() == u"polyline"))
      ++shapes;
  EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
  EXPECT_GT(shapes, 8);
  EXPECT_FALSE(chart.ExportPicture(dir.filePath("no/hay/carpeta.svg")));
}

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}

// Regression: in a narrow window (the semivariogram beside two others) the
// distance labels 1000 to 2250 were elided to "10...", "12...".
TEST_F(Chart2DTest, NarrowChartKeepsItsDistanceLabelsWhole) {
  chart.SetSeriesCount(1);
  chart.SetPointCount(1, 40);
  for (int p = 1; p <= 40; ++p) {
    chart.SetX(1, p, 55.0 * p);
    chart.SetY(1, p, 1000.0 * p);
  }
  for (int width : {760, 380, 260, 600}) {
    chart.resize(width, 400);
    QTest::qWait(30);
    QChart* grafico = chart.findChild<QChartView*>()->chart();
    auto* ax = qobject_cast<QValueAxis*>(grafico->axes(Qt::Horizontal).first());
    ASSERT_NE(ax, nullptr);
    const QFontMetrics fm(ax->labelsFont());
    const double step = grafico->plotArea().width() / (ax->tickCount() - 1);
    const int label = fm.horizontalAdvance(QString::number(ax->max(), 'g', 6));
    EXPECT_GT(step, label + 2 * fm.averageCharWidth()) << "ancho " << width << ", " << ax->tickCount() << " marcas";
    EXPECT_GE(ax->max(), 2200.0);
  }
}
