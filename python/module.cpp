// The Python module voxda: the demo's beam, its frame operations and whole-cell tracking on NumPy
// arrays, with the same numbers as the command-line tools.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <exception>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <unistd.h>

#include <map>
#include <memory>
#include <tuple>

#include "particles/decays.h"
#include "simulation/beam.h"
#include "tracking/engine.h"
#include "tracking/frame.h"
#include "util/dynarray.h"
#include "util/random.h"

namespace py = pybind11;

namespace {

constexpr int columns = 5;  // x (m), xp (rad), y (m), yp (rad), kinetic energy (MeV)
static_assert(sizeof(particle) == columns * sizeof(double), "a row of the array is one particle");

using particlearray = py::array_t<double, py::array::c_style>;

// ---------------------------------------------------------------------------------------------
// Input checks and conversion

// A (N, 5) C-contiguous float64 array holding the rows of `object`: the object itself when it
// already is one (and `copy` is false), else a converted copy. Integer and floating arrays are
// converted; anything else is refused with TypeError, a wrong shape with ValueError.
particlearray particlerows(const py::handle& object, const char* what, bool copy) {
    py::array array = py::array::ensure(object);
    if (!array)
        throw py::type_error(std::string(what) + " must be a NumPy array or a nested sequence of numbers");
    const char kind = array.dtype().kind();
    if (kind != 'f' && kind != 'i' && kind != 'u')
        throw py::type_error(std::string(what) +
                             " must hold real numbers (float or integer dtype), not dtype " +
                             std::string(py::str(array.dtype())));
    if (array.ndim() != 2 || array.shape(1) != columns) {
        std::string shape;
        for (py::ssize_t d = 0; d < array.ndim(); ++d)
            shape += (d ? ", " : "") + std::to_string(array.shape(d));
        throw py::value_error(std::string(what) +
                              " must have shape (N, 5), columns x, xp, y, yp, energy, not (" + shape +
                              (array.ndim() == 1 ? ",)" : ")"));
    }
    if (!copy && py::isinstance<particlearray>(array) && kind == 'f' && array.itemsize() == sizeof(double) &&
        (array.flags() & py::array::c_style))
        return py::reinterpret_borrow<particlearray>(array);
    particlearray converted({array.shape(0), static_cast<py::ssize_t>(columns)});
    // Assignment through NumPy converts the dtype and copies any strides.
    py::module_::import("numpy").attr("copyto")(converted, array, py::arg("casting") = "unsafe");
    return converted;
}

// The engine's options for a math mode name and a thread count, refused with ValueError unless
// valid. VOXDA_SIMD=scalar still forces the portable path of vector mode, as for the tools.
engineoptions optionsfor(const std::string& math, long threads) {
    engineoptions options;
    std::string ignored;
    engineoptionsfromenvironment(&options, ignored);
    if (!parsemathmode(math, &options.math))
        throw py::value_error("math must be \"exact\" or \"vector\", not \"" + math + "\"");
    if (!mathmodeavailable(options.math)) throw py::value_error("math \"" + math + "\" is not in this build");
    if (threads < 0 || threads > 256)
        throw py::value_error("threads must be 0 (all cores) or a count up to 256, not " +
                              std::to_string(threads));
    options.threads = static_cast<unsigned>(threads);
    return options;
}

// Engines for track(), kept per options so that a call (a single particle, say) does not start a
// pool of threads. An engine serves one call at a time: a call finding it busy (another Python
// thread tracking) gets an engine of its own. After a fork the pools' threads are gone: the child
// starts a fresh cache.
struct cachedengine {
    std::mutex busy;
    std::unique_ptr<engine> e;
};

struct engineuse {
    engine* e = nullptr;
    std::unique_ptr<engine> own;
    std::unique_lock<std::mutex> lock;
};

engineuse useengine(const engineoptions& options) {
    static std::mutex cachemutex;
    static std::map<std::tuple<int, unsigned, bool>, std::unique_ptr<cachedengine>>* cache = nullptr;
    static pid_t cachepid = 0;
    std::lock_guard<std::mutex> guard(cachemutex);
    if (!cache || cachepid != getpid()) {
        cache =
            new std::map<std::tuple<int, unsigned, bool>, std::unique_ptr<cachedengine>>;  // kept to the end
        cachepid = getpid();
    }
    auto& slot = (*cache)[{static_cast<int>(options.math), options.threads, options.portablesimd}];
    if (!slot) {
        slot = std::make_unique<cachedengine>();
        slot->e = std::make_unique<engine>(options);
    }
    engineuse use;
    std::unique_lock<std::mutex> lock(slot->busy, std::try_to_lock);
    if (lock.owns_lock()) {
        use.e = slot->e.get();
        use.lock = std::move(lock);
    } else {
        use.own = std::make_unique<engine>(options);
        use.e = use.own.get();
    }
    return use;
}

// ---------------------------------------------------------------------------------------------
// Long calls: the work runs on its own thread while the calling thread, without the GIL, watches
// for Ctrl+C; an interrupt sets the stop flag, which the work checks between its pieces.

template <class Work>
void runinterruptible(Work work, std::atomic<bool>& stop) {
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    std::exception_ptr failure;
    bool interrupted = false;
    {
        py::gil_scoped_release release;
        std::thread worker([&] {
            try {
                work();
            } catch (...) {
                failure = std::current_exception();
            }
            std::lock_guard<std::mutex> lock(mutex);
            done = true;
            finished.notify_one();
        });
        std::unique_lock<std::mutex> lock(mutex);
        while (!done) {
            if (finished.wait_for(lock, std::chrono::milliseconds(50), [&] { return done; })) break;
            lock.unlock();
            {
                py::gil_scoped_acquire acquire;
                if (PyErr_CheckSignals() != 0) {
                    interrupted = true;
                    stop = true;
                }
            }
            lock.lock();
            if (interrupted) break;
        }
        lock.unlock();
        worker.join();
    }
    if (interrupted) throw py::error_already_set();  // KeyboardInterrupt, or what a handler raised
    if (failure) std::rethrow_exception(failure);
}

// ---------------------------------------------------------------------------------------------
// The demo's beam and frame operations

// The demo's 10000 protons: the generator restarts from its fixed state, as in every run of the
// demo and of voxda-track, and is left as it was.
particlearray makebeamarray() {
    const uint32_t saved = randstate;
    randstate = 1;
    dynarray beam;
    makebeam(&beam);
    randstate = saved;
    particlearray result({static_cast<py::ssize_t>(beam.count), static_cast<py::ssize_t>(columns)});
    std::memcpy(result.mutable_data(), beam.data, sizeof(particle) * beam.count);
    dynarrayrelease(beam);
    return result;
}

// A beam stepped frame by frame as the demo steps it, on an engine of its own. The beam is locked
// while a call works on it without the GIL.
class tracker {
  public:
    tracker(const py::handle& particles, const std::string& math, long threads)
        : engine_(std::make_unique<engine>(optionsfor(math, threads))) {
        particlearray rows = particlerows(particles, "particles", false);
        dynarrayinit(&beam_, sizeof(particle));
        const particle* p = reinterpret_cast<const particle*>(rows.data());
        for (py::ssize_t i = 0; i < rows.shape(0); ++i) dynarrayappend(&beam_, &p[i]);
    }
    ~tracker() { dynarrayrelease(beam_); }
    tracker(const tracker&) = delete;
    tracker& operator=(const tracker&) = delete;

    void advance(bool fast) {
        py::gil_scoped_release release;
        std::lock_guard<std::mutex> lock(busy_);
        advancebeam(*engine_, &beam_, &distance_, fast);
    }
    void accelerate() {
        py::gil_scoped_release release;
        std::lock_guard<std::mutex> lock(busy_);
        acceleratebeam(*engine_, &beam_);
    }
    uint32_t cull() {
        py::gil_scoped_release release;
        std::lock_guard<std::mutex> lock(busy_);
        return cullbeam(&beam_);
    }

    particlearray particles() {
        std::lock_guard<std::mutex> lock(busy_);
        particlearray result({static_cast<py::ssize_t>(beam_.count), static_cast<py::ssize_t>(columns)});
        if (beam_.count) std::memcpy(result.mutable_data(), beam_.data, sizeof(particle) * beam_.count);
        return result;
    }
    uint32_t count() {
        std::lock_guard<std::mutex> lock(busy_);
        return beam_.count;
    }
    double distance() {
        std::lock_guard<std::mutex> lock(busy_);
        return distance_;
    }
    void setdistance(double distance) {
        std::lock_guard<std::mutex> lock(busy_);
        distance_ = distance;
    }
    std::string math() const { return mathmodename(engine_->options().math); }
    unsigned threads() const { return engine_->threads(); }

  private:
    std::unique_ptr<engine> engine_;
    std::mutex busy_;
    dynarray beam_{};
    double distance_ = startdistance;  // m
};

// The acceleration range FROM..TO of cells, from None, an int (that one cell) or a pair.
bool accelerationrange(const py::object& accelerate, int64_t& from, int64_t& to) {
    if (accelerate.is_none()) return false;
    try {
        if (py::isinstance<py::int_>(accelerate)) {
            from = to = accelerate.cast<int64_t>();
        } else {
            py::sequence range = accelerate.cast<py::sequence>();
            if (range.size() != 2) throw py::cast_error();
            from = range[0].cast<int64_t>();
            to = range[1].cast<int64_t>();
        }
    } catch (const py::cast_error&) {
        throw py::type_error("accelerate must be None, a cell number or a pair (FROM, TO) of cell numbers");
    }
    if (from < 0 || to < from)
        throw py::value_error("accelerate needs cells FROM <= TO, both 0 or more; got (" +
                              std::to_string(from) + ", " + std::to_string(to) + ")");
    return true;
}

py::tuple track(const py::handle& particles, long long cells, const std::string& math,
                const py::object& accelerate, long threads, bool inplace) {
    if (cells < 0) throw py::value_error("cells must be 0 or more, not " + std::to_string(cells));
    const engineoptions options = optionsfor(math, threads);
    int64_t from = 0, to = -1;
    const bool accelerated = accelerationrange(accelerate, from, to);
    particlearray rows = particlerows(particles, "particles", !inplace);
    if (inplace && rows.ptr() != particles.ptr())
        throw py::type_error("inplace=True needs a writeable C-contiguous float64 array of shape (N, 5)");
    if (!rows.writeable()) throw py::value_error("inplace=True needs a writeable array");
    const int64_t n = rows.shape(0);
    py::array_t<int64_t> lost(n);
    std::atomic<bool> stop{false};
    cellrun run;
    run.cells = cells;
    if (accelerated) {
        run.acceleratefrom = from;
        run.accelerateto = to;
    }
    run.lostatcell = lost.mutable_data();
    run.stop = &stop;
    particle* p = reinterpret_cast<particle*>(rows.mutable_data());
    engineuse use = useengine(options);
    // A short call (a single particle, a few cells) runs here; a long one on a thread of its own
    // while this one watches for Ctrl+C.
    if (n * cells <= 2000) {
        py::gil_scoped_release release;
        trackcells(*use.e, p, static_cast<size_t>(n), run);
    } else {
        runinterruptible([&] { trackcells(*use.e, p, static_cast<size_t>(n), run); }, stop);
    }
    return py::make_tuple(rows, lost);
}

}  // namespace

PYBIND11_MODULE(voxda, m) {
    makedecaytables();  // the transport reads the proton's mass from them
    m.doc() = R"(voxda: the demo's proton beam and its tracking engine, on NumPy arrays.

A beam is a float64 array of shape (N, 5), one particle per row, with the columns
x (m), xp (rad), y (m), yp (rad) and kinetic energy (MeV), in the layout the engine
itself uses, so C-contiguous float64 input is tracked without conversion. Other
integer or floating arrays and nested sequences are converted (copied); any other
dtype raises TypeError and any other shape ValueError. A particle whose coordinates
are not-a-number counts as outside the aperture: it is simply lost.

The tracking is bit-for-bit the one of the command-line tools: track() gives the
numbers of voxda-da, Tracker the frames of voxda-track and of the demo.

Long calls release the GIL and stop with KeyboardInterrupt on Ctrl+C.

  make_beam()                 the demo's 10000-proton beam
  Tracker(particles)          a beam stepped frame by frame as the demo does
  track(particles, cells)     whole cells with the aperture checked after each

Constants: CELL_LENGTH (8.85 m, one "FODO" cell), START_DISTANCE (-2.0 m, the
observation point, 2 m before an F magnet), APERTURE_LIMIT (0.25 m^2, the largest
x^2 + y^2 inside the aperture).
)";

    m.attr("CELL_LENGTH") = celllength(lattice);
    m.attr("START_DISTANCE") = startdistance;
    m.attr("APERTURE_LIMIT") = aperturelimit;

    m.def("make_beam", &makebeamarray, R"(make_beam() -> numpy.ndarray

The demo's beam: 10000 protons at 800 MeV filling a 4-D ellipsoid in (x, xp, y, yp)
(beta 8 m, emittance 0.00015 m rad), as a new (10000, 5) float64 array. Every call
gives the same particles, bit for bit the beam the demo and voxda-track start with.)");

    py::class_<tracker>(m, "Tracker", R"(A beam stepped frame by frame as the demo steps it.

Tracker(particles, math="exact", threads=0) copies the particles (an (N, 5) array;
see the module help) and starts at the observation point, distance -2.0 m (2 m
before an F magnet). A frame of the demo is: cull(), then advance(fast), then
accelerate() while accelerating; voxda-track prints its row between cull and advance.

math: "exact" (the C library's exp, sin and cos, the default everywhere) or "vector"
(our own deterministic SIMD functions: faster, the same bits on every machine).
threads: 0 for all cores, else that many (up to 256); the results never depend on it.)")
        .def(py::init<const py::handle&, const std::string&, long>(), py::arg("particles"),
             py::arg("math") = "exact", py::arg("threads") = 0)
        .def("advance", &tracker::advance, py::arg("fast") = true,
             R"(advance(fast=True)

Moves the beam one whole 8.85 m cell (177 steps of 0.05 m) when fast, else one
0.05 m step; each step's element is located from the distance, which grows by
what was travelled.)")
        .def("accelerate", &tracker::accelerate, R"(accelerate()

One acceleration: 1 % more kinetic energy for every particle, the angles damped by
the ratio of the momenta before and after.)")
        .def("cull", &tracker::cull, R"(cull() -> int

Removes every particle outside the aperture (x^2 + y^2 > 0.25 m^2, a not-a-number
counts as outside) as the demo does, from the last particle down, each hole filled by
the last particle; returns how many were removed.)")
        .def_property_readonly("particles", &tracker::particles,
                               "The beam now, as a new (count, 5) float64 array: a copy, so it stays\n"
                               "valid and unchanged while the tracker goes on.")
        .def_property_readonly("count", &tracker::count, "Particles in the beam now.")
        .def_property("distance", &tracker::distance, &tracker::setdistance,
                      "Distance travelled along the lattice, m (starts at -2.0; settable).")
        .def_property_readonly("math", &tracker::math, "The math mode, \"exact\" or \"vector\".")
        .def_property_readonly("threads", &tracker::threads, "Threads the tracker's engine works with.")
        .def("__len__", &tracker::count)
        .def("__repr__", [](tracker& t) {
            return "<voxda.Tracker count=" + std::to_string(t.count()) +
                   " distance=" + std::string(py::str(py::float_(t.distance()))) + " math=" + t.math() + ">";
        });

    m.def("track", &track, py::arg("particles"), py::arg("cells"), py::kw_only(), py::arg("math") = "exact",
          py::arg("accelerate") = py::none(), py::arg("threads") = 0, py::arg("inplace") = false,
          R"(track(particles, cells, *, math="exact", accelerate=None, threads=0, inplace=False)
    -> (final, lost_at_cell)

Tracks every particle through `cells` whole cells from the observation point (2 m
before an F magnet), every cell the same periodic step sequence, and checks the
aperture (x^2 + y^2 <= 0.25 m^2) at the start and after every cell, as voxda-da does.

Returns final, an (N, 5) float64 array (a lost particle keeps the coordinates at
which it was found outside), and lost_at_cell, an int64 array of N: the number of
cells travelled when the check first failed (0: outside at the start, NaN included),
or -1 when the particle was still inside after the last cell.

math: "exact" (default) or "vector", as voxda-da --math; threads: 0 for all cores, else
that many; the results never depend on the thread count.
accelerate: None, a cell number, or (FROM, TO): cells FROM to TO (inclusive, counted
from 0) end with one acceleration, as voxda-track --fast --accelerate FROM:TO.
inplace: track in the given array itself (it must be a writeable C-contiguous float64
(N, 5) array) and return it as final; otherwise the input is left untouched.)");
}
