#include "core/datos_espaciales.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <limits>

#include "core/lector_lista.h"

namespace sorvan {

std::string DatosEspaciales::nombreSinBlancos(int var) const {
  std::string s = nombres.at(size_t(var - 1));
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

int DatosEspaciales::buscaColumna(std::string_view nombre) const {
  std::string buscado = AjustaAncho(nombre, kAnchoNombre);
  while (!buscado.empty() && buscado.back() == ' ') buscado.pop_back();
  auto igualSinMayusculas = [](std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char p, char q) {
             return std::tolower(static_cast<unsigned char>(p)) == std::tolower(static_cast<unsigned char>(q));
           });
  };
  for (int k = 1; k <= nvar; ++k)
    if (nombreSinBlancos(k) == buscado) return k;
  for (int k = 1; k <= nvar; ++k)
    if (igualSinMayusculas(nombreSinBlancos(k), buscado)) return k;
  return 0;
}

Resultado LeeDatos(const std::string& ruta, DatosEspaciales& datos, const OpcionesLectura& opciones) {
  std::error_code ec;
  if (std::filesystem::is_directory(ruta, ec)) return Resultado::Error(ruta + ": es una carpeta, no un archivo de datos.");
  std::ifstream entrada(ruta, std::ios::binary);
  if (!entrada) return Resultado::Error(ruta + ": no se puede abrir el archivo de datos.");
  return LeeDatos(entrada, ruta, datos, opciones);
}

Resultado LeeDatos(std::istream& entrada, const std::string& nombreArchivo, DatosEspaciales& datos,
                   const OpcionesLectura& opciones) {
  LectorLista lector(entrada, nombreArchivo);
  // Everything goes into a fresh data set that replaces the caller's only
  // when the whole file has been read.
  DatosEspaciales d;
  auto fallo = [&] { return Resultado::Error(lector.error() + "\nNo se ha cargado el archivo."); };

  std::string texto;
  if (!lector.leeTexto(texto, "título")) return fallo();
  d.titulo = AjustaAncho(texto, kAnchoTexto);

  int64_t nvar = 0, n = 0;
  if (!lector.leeEntero(nvar, "nº de variables", 1, kMaxVariables)) return fallo();
  if (!lector.leeEntero(n, "nº de datos", 1, std::numeric_limits<int32_t>::max())) return fallo();
  d.nvar = static_cast<int>(nvar);

  std::string aviso;
  if (opciones.limiteFilas > 0 && n > opciones.limiteFilas) {
    aviso = kAvisoDemasiadosDatos;
    n = opciones.limiteFilas;
  }

  for (int k = 1; k <= d.nvar; ++k) {
    const std::string var = "variable " + std::to_string(k);
    if (!lector.leeTexto(texto, "nombre de la " + var)) return fallo();
    d.nombres.push_back(AjustaAncho(texto, kAnchoNombre));
    if (!lector.leeTexto(texto, "descripción de la " + var)) return fallo();
    d.descripciones.push_back(AjustaAncho(texto, kAnchoTexto));
    float numero = 0;
    if (!lector.leeNumero(numero, "número de la cabecera de la " + var)) return fallo();
    d.numeros.push_back(numero);
  }

  // Rows are gathered row by row, so memory follows what the file really
  // holds and not the count it announces; the column-major matrix is built
  // at the end.
  std::vector<float> filas;
  d.minimo.assign(size_t(d.nvar), 0.0f);
  d.maximo.assign(size_t(d.nvar), 0.0f);
  for (int64_t i = 1; i <= n; ++i) {
    for (int k = 1; k <= d.nvar; ++k) {
      float v = 0;
      if (!lector.leeNumero(v, "dato " + std::to_string(k) + " de la fila " + std::to_string(i) +
                                   " (variable «" + MuestraValor(d.nombreSinBlancos(k)) + "»)"))
        return fallo();
      filas.push_back(v);
      float& menor = d.minimo[size_t(k - 1)];
      float& mayor = d.maximo[size_t(k - 1)];
      if (i == 1) {
        menor = mayor = v;
      } else if (v < menor) {
        menor = v;
      } else if (v > mayor) {
        mayor = v;
      }
    }
  }
  d.N = static_cast<int>(n);
  d.matriz.resize(filas.size());
  for (size_t i = 0; i < size_t(d.N); ++i)
    for (size_t k = 0; k < size_t(d.nvar); ++k) d.matriz[k * size_t(d.N) + i] = filas[i * size_t(d.nvar) + k];

  datos = std::move(d);
  return Resultado::Exito(aviso);
}

}  // namespace sorvan
