// One host call three ways, in the same run: through the plug-in's host
// layer, through the least sequence the layer's contract allows (written out
// here), and straight through a function pointer to the routine.
#include <benchmark/benchmark.h>

#include "bench_common.h"
#include "hostapp/builders.h"
#include "host/host_calls.h"

namespace bench {

namespace {

// The host the layer benchmarks call: a few objects, call log off.
struct LayerHost {
  hostapp::Host host;
  ObjectHandle line = 0, poly = 0;
  LayerHost() {
    host.settings.logCalls = false;
    line = host.Add(hostapp::Line(0, 0, 10, 5));
    poly = host.Add(hostapp::Polyline({{0, 0}, {5, 0}, {5, 5}}));
  }
};

LayerHost& Layer() {
  static LayerHost layer;
  layer.host.Activate();
  return layer;
}

// The least the contract allows: read the dispatcher through cbp, ask it for
// the selector, test for null, call, and keep gCBP across the call. Written
// as its own function, the shape every per-routine operation has; the
// "inlined" benchmarks paste the same steps into the calling loop.
inline int16_t LeastGetObjectTypeInline(CallbackPtr cbp, ObjectHandle o) {
  auto fn = reinterpret_cast<GetObjectTypeFn>((*cbp)(kSelGetObjectType));
  if (fn == nullptr) return 0;
  CallbackPtr kept = gCBP;
  const int16_t type = fn(o);
  gCBP = kept;
  return type;
}

inline void LeastGetVertexInline(CallbackPtr cbp, ObjectHandle o, int16_t index, HostWorldPt* p,
                           int32_t* type, double* radius) {
  auto fn = reinterpret_cast<GetVertexFn>((*cbp)(kSelGetVertex));
  if (fn == nullptr) return;
  CallbackPtr kept = gCBP;
  fn(o, index, p, type, radius);
  gCBP = kept;
}

[[gnu::noinline]] int16_t LeastGetObjectType(CallbackPtr cbp, ObjectHandle o) {
  return LeastGetObjectTypeInline(cbp, o);
}
[[gnu::noinline]] void LeastGetVertex(CallbackPtr cbp, ObjectHandle o, int16_t index,
                                      HostWorldPt* p, int32_t* type, double* radius) {
  LeastGetVertexInline(cbp, o, index, p, type, radius);
}

void GetObjectTypeLayer(benchmark::State& state) {
  LayerHost& l = Layer();
  CallbackPtr cbp = l.host.Cbp();
  ObjectHandle o = l.line;
  for (auto _ : state) {
    benchmark::DoNotOptimize(o);
    benchmark::DoNotOptimize(GetObjectType(cbp, o));
  }
}

void GetObjectTypeLeast(benchmark::State& state) {
  LayerHost& l = Layer();
  CallbackPtr cbp = l.host.Cbp();
  ObjectHandle o = l.line;
  for (auto _ : state) {
    benchmark::DoNotOptimize(o);
    benchmark::DoNotOptimize(LeastGetObjectType(cbp, o));
  }
}

void GetObjectTypeInlined(benchmark::State& state) {
  LayerHost& l = Layer();
  CallbackPtr cbp = l.host.Cbp();
  ObjectHandle o = l.line;
  for (auto _ : state) {
    benchmark::DoNotOptimize(o);
    benchmark::DoNotOptimize(LeastGetObjectTypeInline(cbp, o));
  }
}

void GetObjectTypeDirect(benchmark::State& state) {
  LayerHost& l = Layer();
  auto fn = reinterpret_cast<GetObjectTypeFn>(hostapp::Dispatch(kSelGetObjectType));
  ObjectHandle o = l.line;
  for (auto _ : state) {
    benchmark::DoNotOptimize(fn);  // keeps the call indirect
    benchmark::DoNotOptimize(o);
    benchmark::DoNotOptimize(fn(o));
  }
}

void GetVertexLayer(benchmark::State& state) {
  LayerHost& l = Layer();
  CallbackPtr cbp = l.host.Cbp();
  ObjectHandle o = l.poly;
  WorldPt p(0.0, 0.0);
  int32_t type = 0;
  double radius = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(o);
    GetVertex(cbp, o, 2, &p, &type, &radius);
    benchmark::DoNotOptimize(p);
  }
}

void GetVertexLeast(benchmark::State& state) {
  LayerHost& l = Layer();
  CallbackPtr cbp = l.host.Cbp();
  ObjectHandle o = l.poly;
  HostWorldPt p{};
  int32_t type = 0;
  double radius = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(o);
    LeastGetVertex(cbp, o, 2, &p, &type, &radius);
    benchmark::DoNotOptimize(p);
  }
}

void GetVertexInlined(benchmark::State& state) {
  LayerHost& l = Layer();
  CallbackPtr cbp = l.host.Cbp();
  ObjectHandle o = l.poly;
  HostWorldPt p{};
  int32_t type = 0;
  double radius = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(o);
    LeastGetVertexInline(cbp, o, 2, &p, &type, &radius);
    benchmark::DoNotOptimize(p);
  }
}

void GetVertexDirect(benchmark::State& state) {
  LayerHost& l = Layer();
  auto fn = reinterpret_cast<GetVertexFn>(hostapp::Dispatch(kSelGetVertex));
  ObjectHandle o = l.poly;
  HostWorldPt p{};
  int32_t type = 0;
  double radius = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(fn);
    benchmark::DoNotOptimize(o);
    fn(o, 2, &p, &type, &radius);
    benchmark::DoNotOptimize(p);
  }
}

}  // namespace

void RegisterHostLayerBenchmarks() {
  // Repetitions, interleaved at random with the others by main: the three
  // ways of one routine see the same machine load, so their ratio holds
  // even while the machine is busy.
  struct Way {
    const char* name;
    void (*fn)(benchmark::State&);
  };
  const Way ways[] = {
      {"host_call/GetObjectType/layer", GetObjectTypeLayer},
      {"host_call/GetObjectType/least", GetObjectTypeLeast},
      {"host_call/GetObjectType/inlined", GetObjectTypeInlined},
      {"host_call/GetObjectType/direct", GetObjectTypeDirect},
      {"host_call/GetVertex/layer", GetVertexLayer},
      {"host_call/GetVertex/least", GetVertexLeast},
      {"host_call/GetVertex/inlined", GetVertexInlined},
      {"host_call/GetVertex/direct", GetVertexDirect},
  };
  for (const Way& w : ways)
    benchmark::RegisterBenchmark(w.name, w.fn)
        ->Repetitions(5)
        ->DisplayAggregatesOnly(true)
        ->Unit(benchmark::kNanosecond);
}

}  // namespace bench
