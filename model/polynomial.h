#pragma once
// Roots of the small real polynomials a sampled loop's characteristic
// equation gives, coefficients highest power first: up to the third degree
// in closed form, beyond by iteration.

#include <complex>
#include <span>
#include <vector>

namespace lodrix {

using Complex = std::complex<double>;

// Every root, with its multiplicity, in no particular order. Leading zero
// coefficients lower the degree; an empty list or a constant has no root.
// Beyond the third degree, `near`, the roots of a polynomial close to it
// (as many as its degree), make a quicker start.
std::vector<Complex> polynomialRoots(std::span<const double> coefficients,
                                     std::span<const Complex> near = {});

// The coefficients of the product of two polynomials, highest power first.
std::vector<double> multiplied(std::span<const double> p, std::span<const double> q);

// The largest modulus among the roots, 0 for none.
double spectralRadius(std::span<const Complex> roots);

} // namespace lodrix
