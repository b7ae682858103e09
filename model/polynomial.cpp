#include "polynomial.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace lodrix {

namespace {

// z^2 + b z + c. The larger root first, so that the other comes from the
// product of the roots rather than from a difference of near equals.
void monicQuadraticRoots(double b, double c, std::vector<Complex> &roots)
{
    const double disc = b * b - 4.0 * c;
    if (disc < 0.0) {
        const double re = -0.5 * b;
        const double im = 0.5 * std::sqrt(-disc);
        roots.emplace_back(re, im);
        roots.emplace_back(re, -im);
        return;
    }
    const double q = -0.5 * (b + std::copysign(std::sqrt(disc), b));
    if (q == 0.0) {
        roots.emplace_back(0.0);
        roots.emplace_back(0.0);
        return;
    }
    roots.emplace_back(q);
    roots.emplace_back(c / q);
}

// z^3 + p z^2 + q z + r has a real root inside the Cauchy bound, where the
// polynomial changes sign: bisect to it, then divide it out.
void monicCubicRoots(double p, double q, double r, std::vector<Complex> &roots)
{
    const auto f = [&](double z) { return ((z + p) * z + q) * z + r; };
    const double bound = 1.0 + std::max({std::abs(p), std::abs(q), std::abs(r)});
    double lo = -bound;
    double hi = bound;
    for (int i = 0; i < 200 && lo < hi; ++i) {
        const double mid = 0.5 * (lo + hi);
        if (mid == lo || mid == hi)
            break;
        (f(mid) < 0.0 ? lo : hi) = mid;
    }
    // Where f is flat at the root (a double root) bisection stops short;
    // Newton steps that improve the value finish the job.
    double z = 0.5 * (lo + hi);
    for (int i = 0; i < 4; ++i) {
        const double slope = (3.0 * z + 2.0 * p) * z + q;
        if (slope == 0.0)
            break;
        const double next = z - f(z) / slope;
        if (!(std::abs(f(next)) < std::abs(f(z))))
            break;
        z = next;
    }
    roots.emplace_back(z);
    const double b = p + z;
    monicQuadraticRoots(b, q + z * b, roots);
}

// Degree four and up (monic, c[0] = 1): Aberth's iteration moves every
// root at once from points on a circle around them; then each root that
// ends a hair off the real axis is put on it and the others made exact
// conjugates, as the coefficients are real.
void monicRootsAberth(std::span<const double> c, std::span<const Complex> near, std::vector<Complex> &roots)
{
    const std::size_t n = c.size() - 1;
    double bound = 0.0;
    for (std::size_t i = 1; i < c.size(); ++i)
        bound = std::max(bound, std::abs(c[i]));
    const double radius = 0.5 * (1.0 + bound);
    const auto value = [&](Complex z, Complex &slope) {
        Complex f = 1.0;
        slope = 0.0;
        for (std::size_t i = 1; i < c.size(); ++i) {
            slope = slope * z + f;
            f = f * z + c[i];
        }
        return f;
    };
    std::vector<Complex> z(n);
    for (std::size_t i = 0; i < n; ++i)
        z[i] = std::polar(radius, 0.4 + 2.0 * 3.14159265358979323846 * double(i) / double(n));
    // Roots of a polynomial close to this one are a start a few steps from
    // the end; two that coincide are set apart, as the iteration needs.
    if (near.size() == n) {
        for (std::size_t i = 0; i < n; ++i) {
            z[i] = near[i];
            for (std::size_t j = 0; j < i; ++j)
                if (std::abs(z[i] - z[j]) < 1e-9 * (1.0 + std::abs(z[i])))
                    z[i] += std::polar(1e-6 * (1.0 + std::abs(z[i])), 1.0 + double(i));
        }
    }
    for (int iteration = 0; iteration < 500; ++iteration) {
        double largest = 0.0;
        for (std::size_t i = 0; i < n; ++i) {
            Complex slope;
            const Complex f = value(z[i], slope);
            if (f == 0.0)
                continue;
            const Complex w = f / slope;
            Complex repulsion = 0.0;
            for (std::size_t j = 0; j < n; ++j)
                if (j != i && z[i] != z[j])
                    repulsion += 1.0 / (z[i] - z[j]);
            const Complex step = w / (1.0 - w * repulsion);
            if (!std::isfinite(step.real()) || !std::isfinite(step.imag()))
                continue;
            z[i] -= step;
            largest = std::max(largest, std::abs(step) / (1.0 + std::abs(z[i])));
        }
        if (largest < 1e-15)
            break;
    }
    for (Complex &r : z) {
        if (std::abs(r.imag()) < 1e-9 * (1.0 + std::abs(r)))
            r = r.real();
        roots.push_back(r);
    }
}

} // namespace

std::vector<Complex> polynomialRoots(std::span<const double> coefficients, std::span<const Complex> near)
{
    std::size_t first = 0;
    while (first < coefficients.size() && coefficients[first] == 0.0)
        ++first;
    const std::span<const double> c = coefficients.subspan(first);
    std::vector<Complex> roots;
    if (c.size() < 2)
        return roots;
    const double lead = c[0];
    switch (c.size() - 1) {
    case 1:
        roots.emplace_back(-c[1] / lead);
        break;
    case 2:
        monicQuadraticRoots(c[1] / lead, c[2] / lead, roots);
        break;
    case 3:
        monicCubicRoots(c[1] / lead, c[2] / lead, c[3] / lead, roots);
        break;
    default: {
        std::vector<double> monic(c.begin(), c.end());
        for (double &x : monic)
            x /= lead;
        monicRootsAberth(monic, near, roots);
        break;
    }
    }
    return roots;
}

std::vector<double> multiplied(std::span<const double> p, std::span<const double> q)
{
    if (p.empty() || q.empty())
        return {};
    std::vector<double> product(p.size() + q.size() - 1, 0.0);
    for (std::size_t i = 0; i < p.size(); ++i)
        for (std::size_t j = 0; j < q.size(); ++j)
            product[i + j] += p[i] * q[j];
    return product;
}

double spectralRadius(std::span<const Complex> roots)
{
    double r = 0.0;
    for (const Complex &z : roots)
        r = std::max(r, std::abs(z));
    return r;
}

} // namespace lodrix
