// The tracking maps, written once over a lane policy. No include guard on purpose: this file is
// included inside every namespace that instantiates it (the plain exact path, the portable vector
// path, and one namespace per SIMD target), so each copy is compiled for its own instruction set.
// Include <cstdint> and tracking/kernelplan.h before it.
//
// A lane policy L provides:
//   using V (one value per lane); static constexpr int lanes;
//   V load(const double*), void store(V, double*), V set(double),
//   V add(V, V), sub(V, V), mul(V, V), div(V, V), neg(V), sqrt(V),
//   V exp(V), void sincos(V, V* s, V* c).
// Every map is the plain sequence of IEEE operations of the formulas, in their order: a lane's
// result never depends on the other lanes, the block it sits in or the width of V.

// Kick coefficient of a +0.05 m (F) step for each particle, from its own energy:
// gamma = E / mc^2 + 1, p = c m sqrt(gamma^2 - 1) (momentumfromkinetic's order), k = (h q) / p. The D step's
// is its negative (h q changes sign exactly).
template <class L>
inline void kickcoefficients(const L& l, const kernelconstants& c, const double* energy, double* k) {
    for (int i = 0; i < kernelblock; i += L::lanes) {
        auto gamma = l.add(l.div(l.load(energy + i), l.set(c.mc2)), l.set(1.0));
        auto p = l.mul(l.set(c.cm), l.sqrt(l.sub(l.mul(gamma, gamma), l.set(1.0))));
        l.store(l.div(l.set(c.hq), p), k + i);
    }
}

// One magnet step then its drift for one group of lanes: the kick at the step's start with the
// field bx = -sin(kx) A, by = cos(kx) A, A = e^(ky) B0; the reference-orbit correction; the drift.
template <class L>
inline void magnetdrift(const L& l, const kernelconstants& c, typename L::V k, typename L::V steer,
                        typename L::V& x, typename L::V& xp, typename L::V& y, typename L::V& yp) {
    auto a = l.mul(l.exp(l.mul(l.set(c.fieldindex), y)), l.set(c.b0));
    typename L::V s, co;
    l.sincos(l.mul(l.set(c.fieldindex), x), &s, &co);
    auto bx = l.mul(l.neg(s), a);
    auto by = l.mul(co, a);
    xp = l.sub(xp, l.mul(k, by));
    yp = l.add(yp, l.mul(k, bx));
    xp = l.sub(xp, steer);
    x = l.add(x, l.mul(xp, l.set(c.step)));
    y = l.add(y, l.mul(yp, l.set(c.step)));
}

// Runs a frame's steps over one block in structure-of-arrays form. In a drift run x' and y' are
// constant, so x' h and y' h are computed once and added on every step, as the plain evaluation
// adds the same products.
template <class L>
inline void trackblock(const L& l, const kernelconstants& c, const stepplan& plan, kernelblockdata& b) {
    constexpr int groups = kernelblock / L::lanes;
    using V = typename L::V;
    for (int r = 0; r < plan.runcount; ++r) {
        const steprun run = plan.runs[r];
        if (run.kind == stepkind::drift) {
            // All lanes of the block advance together, step by step: independent additions that
            // keep the adders busy, rather than one long chain per particle.
            const V h = l.set(c.step);
            V x[groups], y[groups], dx[groups], dy[groups];
            for (int g = 0; g < groups; ++g) {
                const int i = g * L::lanes;
                x[g] = l.load(b.x + i);
                y[g] = l.load(b.y + i);
                dx[g] = l.mul(l.load(b.xp + i), h);
                dy[g] = l.mul(l.load(b.yp + i), h);
            }
            for (int s = 0; s < run.count; ++s)
                for (int g = 0; g < groups; ++g) {
                    x[g] = l.add(x[g], dx[g]);
                    y[g] = l.add(y[g], dy[g]);
                }
            for (int g = 0; g < groups; ++g) {
                const int i = g * L::lanes;
                l.store(x[g], b.x + i);
                l.store(y[g], b.y + i);
            }
            continue;
        }
        const bool focusing = run.kind == stepkind::focusing;
        const V steer = l.set(focusing ? c.steer : -c.steer);
        for (int g = 0; g < groups; ++g) {
            const int i = g * L::lanes;
            V x = l.load(b.x + i), xp = l.load(b.xp + i), y = l.load(b.y + i), yp = l.load(b.yp + i);
            const V kf = l.load(b.k + i);
            const V k = focusing ? kf : l.neg(kf);
            for (int s = 0; s < run.count; ++s) magnetdrift(l, c, k, steer, x, xp, y, yp);
            l.store(x, b.x + i);
            l.store(xp, b.xp + i);
            l.store(y, b.y + i);
            l.store(yp, b.yp + i);
        }
    }
}

// One acceleration step: 1 % more kinetic energy, the angles damped by p1 / p2.
template <class L>
inline void accelerateblock(const L& l, const kernelconstants& c, kernelblockdata& b) {
    for (int i = 0; i < kernelblock; i += L::lanes) {
        auto e1 = l.load(b.energy + i);
        auto g1 = l.add(l.div(e1, l.set(c.mc2)), l.set(1.0));
        auto p1 = l.mul(l.set(c.cm), l.sqrt(l.sub(l.mul(g1, g1), l.set(1.0))));
        auto e2 = l.mul(l.set(c.accelerationfactor), e1);
        auto g2 = l.add(l.div(e2, l.set(c.mc2)), l.set(1.0));
        auto p2 = l.mul(l.set(c.cm), l.sqrt(l.sub(l.mul(g2, g2), l.set(1.0))));
        l.store(e2, b.energy + i);
        l.store(l.div(l.mul(l.load(b.xp + i), p1), p2), b.xp + i);
        l.store(l.div(l.mul(l.load(b.yp + i), p1), p2), b.yp + i);
    }
}

// Copies up to kernelblock particles into the block, padding with particles on the axis.
inline void gatherblock(kernelblockdata& b, const particle* p, int n) {
    for (int i = 0; i < kernelblock; ++i) {
        const particle q = i < n ? p[i] : particle{0, 0, 0, 0, 800.0};
        b.x[i] = q.x;
        b.xp[i] = q.xp;
        b.y[i] = q.y;
        b.yp[i] = q.yp;
        b.energy[i] = q.energy;
    }
}

inline void scatterlane(const kernelblockdata& b, int i, particle* q) {
    *q = {b.x[i], b.xp[i], b.y[i], b.yp[i], b.energy[i]};
}

// A frame's steps (and its acceleration) over n particles, block by block.
template <class L>
inline void trackframe(const L& l, const kernelconstants& c, const stepplan& plan, bool accelerate,
                       particle* p, size_t n) {
    kernelblockdata b;
    for (size_t start = 0; start < n; start += kernelblock) {
        const int m = n - start < size_t{kernelblock} ? static_cast<int>(n - start) : kernelblock;
        gatherblock(b, p + start, m);
        if (plan.steps > 0) {
            kickcoefficients(l, c, b.energy, b.k);
            trackblock(l, c, plan, b);
        }
        if (accelerate) accelerateblock(l, c, b);
        for (int i = 0; i < m; ++i) scatterlane(b, i, p + start + i);
    }
}

// Whole cells for the studies: check, step, accelerate, as a fast frame of the demo does. A lost
// particle keeps the coordinates at which it was found outside; its lane goes on with a particle on
// the axis, whose result is thrown away.
template <class L>
inline void trackcellblocks(const L& l, const kernelconstants& c, const stepplan& cell,
                            const cellrange& range, particle* p, int64_t* lost, size_t n) {
    kernelblockdata b;
    for (size_t start = 0; start < n; start += kernelblock) {
        const int m = n - start < size_t{kernelblock} ? static_cast<int>(n - start) : kernelblock;
        gatherblock(b, p + start, m);
        bool alive[kernelblock];
        int living = m;
        for (int i = 0; i < kernelblock; ++i) alive[i] = i < m;
        if (lost)
            for (int i = 0; i < m; ++i) lost[start + i] = -1;
        kickcoefficients(l, c, b.energy, b.k);
        for (int64_t travelled = 0;; ++travelled) {
            for (int i = 0; i < m; ++i) {
                if (!alive[i] || b.x[i] * b.x[i] + b.y[i] * b.y[i] <= aperturelimit) continue;
                alive[i] = false;
                --living;
                if (lost) lost[start + i] = travelled;
                scatterlane(b, i, p + start + i);
                b.x[i] = b.xp[i] = b.y[i] = b.yp[i] = 0;
            }
            if (living == 0 || travelled == range.cells) break;
            trackblock(l, c, cell, b);
            if (range.acceleratefrom <= travelled && travelled <= range.accelerateto) {
                accelerateblock(l, c, b);
                kickcoefficients(l, c, b.energy, b.k);
            }
        }
        for (int i = 0; i < m; ++i)
            if (alive[i]) scatterlane(b, i, p + start + i);
    }
}
