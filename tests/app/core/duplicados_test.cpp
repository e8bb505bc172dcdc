// Coinciding points: found within a tolerance relative to the data's extent,
// named by row, and merged as the run's policy says (hand-worked cases).
#include "core/duplicados.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>

using namespace sorvan;

namespace {

DatosEspaciales Puntos(const std::vector<std::array<double, 3>>& p) {
  DatosEspaciales d;
  d.nvar = 3;
  d.N = int(p.size());
  d.nombres = {"x       ", "y       ", "z       "};
  d.descripciones.assign(3, std::string(64, ' '));
  d.numeros.assign(3, 0.0f);
  std::vector<double> filas;
  for (const auto& q : p) filas.insert(filas.end(), q.begin(), q.end());
  d.llenaDesdeFilas(filas);
  return d;
}

std::vector<int> Todas(const DatosEspaciales& d) { return FilasCompletas(d, {1, 2, 3}); }

}  // namespace

TEST(Duplicados, GroupsAreFoundChainedAndNamedByRow) {
  // Extent 1000: the tolerance is 1e-6. Rows 1, 4 and 6 coincide (6 through
  // 4), rows 2 and 5 too; row 3 is 1e-3 away from row 2 and stays apart.
  const DatosEspaciales d = Puntos({{0, 0, 1},
                                    {500, 500, 2},
                                    {500.001, 500, 3},
                                    {0, 4e-7, 5},
                                    {500, 500, 4},
                                    {0, 8e-7, 9},
                                    {1000, 1000, 7}});
  const auto g = PuntosCoincidentes(d, 1, 2, Todas(d));
  ASSERT_EQ(g.size(), 2u);
  EXPECT_EQ(g[0], (std::vector<int>{0, 3, 5}));
  EXPECT_EQ(g[1], (std::vector<int>{1, 4}));
  EXPECT_EQ(DescribeGrupos(g), "filas 1, 4 y 6; filas 2 y 5");
  EXPECT_EQ(DescribeGrupos(g, 1), "filas 1, 4 y 6; y 1 grupos más");
}

TEST(Duplicados, PoliciesAverageKeepTheFirstOrStop) {
  const DatosEspaciales d = Puntos({{0, 0, 1}, {10, 10, 2}, {0, 0, 5}, {10, 10, 4}, {5, 5, 7}});
  std::vector<double> x, y, z;
  std::string aviso;
  Resultado r = ResuelveDuplicados(d, 1, 2, 3, Todas(d), PoliticaDuplicados::Promedio, x, y, z, aviso);
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(x, (std::vector<double>{0, 10, 5}));
  EXPECT_EQ(z, (std::vector<double>{3, 3, 7}));  // (1+5)/2, (2+4)/2
  EXPECT_NE(aviso.find("Se han promediado 2 grupos"), std::string::npos) << aviso;
  r = ResuelveDuplicados(d, 1, 2, 3, Todas(d), PoliticaDuplicados::Primero, x, y, z, aviso);
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(z, (std::vector<double>{1, 2, 7}));
  r = ResuelveDuplicados(d, 1, 2, 3, Todas(d), PoliticaDuplicados::Error, x, y, z, aviso);
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.mensaje.find("filas 1 y 3; filas 2 y 4"), std::string::npos) << r.mensaje;
}

TEST(Duplicados, DistinctPointsAtLargeCoordinatesStayDistinct) {
  // 0.3 m apart at a northing of 9.1e6 are two places.
  const DatosEspaciales d = Puntos({{500000, 9100000.0, 1}, {500000, 9100000.3, 2}, {500100, 9100100, 3}});
  EXPECT_TRUE(PuntosCoincidentes(d, 1, 2, Todas(d)).empty());
  std::vector<double> x, y, z;
  std::string aviso;
  ASSERT_TRUE(ResuelveDuplicados(d, 1, 2, 3, Todas(d), PoliticaDuplicados::Error, x, y, z, aviso).ok);
  EXPECT_EQ(y[1], 9100000.3);
  EXPECT_TRUE(aviso.empty());
}

TEST(Duplicados, PolicyWords) {
  PoliticaDuplicados p = PoliticaDuplicados::Error;
  EXPECT_TRUE(PoliticaDeTexto("average", p));
  EXPECT_EQ(p, PoliticaDuplicados::Promedio);
  EXPECT_TRUE(PoliticaDeTexto("first", p));
  EXPECT_EQ(p, PoliticaDuplicados::Primero);
  EXPECT_FALSE(PoliticaDeTexto("mean", p));
}
