// GIS point layers through the GDAL adapter: layers made here with GDAL itself
// read back with their points, attributes and coordinate reference system.
#include "platform/gis/point_layer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <unistd.h>

#include <gdal_priv.h>
#include <ogrsf_frmts.h>

using namespace sorvan::core;
using namespace sorvan::platform;
namespace fs = std::filesystem;

namespace {

class PointLayerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    GDALAllRegister();
    dir_ = fs::temp_directory_path() / ("capa_puntos_" + std::to_string(::getpid()));
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  // A layer with three points (one with a null attribute) in EPSG:28992, or
  // with the geometry type and no features asked for.
  std::string Create(const char* driver, const char* nombre, OGRwkbGeometryType kind = wkbPoint, bool drain = false) {
    const std::string path = (dir_ / nombre).string();
    GDALDriver* drv = GetGDALDriverManager()->GetDriverByName(driver);
    EXPECT_NE(drv, nullptr);
    std::unique_ptr<GDALDataset> ds(drv->Create(path.c_str(), 0, 0, 0, GDT_Unknown, nullptr));
    EXPECT_NE(ds, nullptr);
    OGRSpatialReference srs;
    srs.importFromEPSG(28992);
    OGRLayer* layer = ds->CreateLayer("muestras", &srs, kind, nullptr);
    OGRFieldDefn zinc("zinc", OFTReal), station("estacion", OFTString), tally("cuenta", OFTInteger);
    layer->CreateField(&zinc);
    layer->CreateField(&station);
    layer->CreateField(&tally);
    if (drain) return path;
    const double pts[3][3] = {{181072.5, 333611.25, 1022}, {181025, 333558, 1141}, {181165, 333537, -1}};
    for (int i = 0; i < 3; ++i) {
      OGRFeature f(layer->GetLayerDefn());
      if (i < 2) f.SetField("zinc", pts[i][2]);
      f.SetField("estacion", "E" );
      f.SetField("cuenta", i * 10);
      if (kind == wkbPoint) {
        OGRPoint p(pts[i][0], pts[i][1]);
        f.SetGeometry(&p);
      } else {
        OGRLineString l;
        l.addPoint(pts[i][0], pts[i][1]);
        l.addPoint(pts[i][0] + 1, pts[i][1] + 1);
        f.SetGeometry(&l);
      }
      EXPECT_EQ(layer->CreateFeature(&f), OGRERR_NONE);
    }
    return path;
  }
  fs::path dir_;
};

struct Format {
  const char* driver;
  const char* nombre;
};
class PointLayerFormats : public PointLayerTest, public ::testing::WithParamInterface<Format> {};

}  // namespace

TEST_P(PointLayerFormats, PointsAttributesAndCrsReadBack) {
  const std::string path = Create(GetParam().driver, GetParam().nombre);
  ASSERT_TRUE(IsGisLayer(path));
  SpatialData d;
  Result r = ReadPointLayer(path, d);
  ASSERT_TRUE(r.ok) << r.message;
  EXPECT_NE(r.message.find("«estacion»"), std::string::npos) << r.message;  // text attribute left out
  ASSERT_EQ(d.N, 3);
  ASSERT_EQ(d.nvar, 4);
  EXPECT_EQ(d.nameWithoutBlanks(1), "X");
  EXPECT_EQ(d.nameWithoutBlanks(2), "Y");
  EXPECT_EQ(d.nameWithoutBlanks(3), "zinc");
  EXPECT_EQ(d.nameWithoutBlanks(4), "cuenta");
  EXPECT_EQ(d.value(1, 1), 181072.5);
  EXPECT_EQ(d.value(1, 2), 333611.25);
  EXPECT_EQ(d.value(2, 3), 1141.0);
  EXPECT_TRUE(std::isnan(d.value(3, 3)));
  EXPECT_EQ(d.value(3, 4), 20.0);
  EXPECT_EQ(d.crs, "EPSG:28992");
}

INSTANTIATE_TEST_SUITE_P(Gis, PointLayerFormats,
                         ::testing::Values(Format{"GPKG", "muestras.gpkg"}, Format{"ESRI Shapefile", "muestras.shp"},
                                           Format{"GeoJSON", "muestras.geojson"}),
                         [](const ::testing::TestParamInfo<Format>& i) {
                           return std::string(i.param.nombre).substr(std::string(i.param.nombre).find('.') + 1);
                         });

TEST_F(PointLayerTest, NonPointGeometriesAreRefusedNamingTheFeature) {
  const std::string path = Create("GPKG", "lineas.gpkg", wkbLineString);
  SpatialData d;
  d.N = 7;
  Result r = ReadPointLayer(path, d);
  ASSERT_FALSE(r.ok);
  EXPECT_NE(r.message.find("lineas.gpkg"), std::string::npos) << r.message;
  EXPECT_NE(r.message.find("elemento 1"), std::string::npos) << r.message;
  EXPECT_NE(r.message.find("Line String"), std::string::npos) << r.message;
  EXPECT_EQ(d.N, 7);  // untouched
}

TEST_F(PointLayerTest, AnEmptyLayerOrABrokenFileIsAMessage) {
  SpatialData d;
  Result r = ReadPointLayer(Create("GPKG", "vacia.gpkg", wkbPoint, true), d);
  ASSERT_FALSE(r.ok);
  EXPECT_NE(r.message.find("«muestras» está vacía"), std::string::npos) << r.message;
  const std::string broken = (dir_ / "roto.geojson").string();
  std::ofstream(broken) << "{\"type\": \"FeatureCollection\", \"features\": [";
  r = ReadPointLayer(broken, d);
  ASSERT_FALSE(r.ok);
  EXPECT_NE(r.message.find("roto.geojson"), std::string::npos) << r.message;
  r = ReadPointLayer((dir_ / "no_existe.gpkg").string(), d);
  ASSERT_FALSE(r.ok);
  EXPECT_NE(r.message.find("no_existe.gpkg"), std::string::npos) << r.message;
}
