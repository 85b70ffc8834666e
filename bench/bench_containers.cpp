// Cost of the linear containers: dictionary set/get by key text and list append/get by index.
// Both walk their node chain from the head, so one operation costs O(n) and a full pass O(n^2).
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "gtl/gtl_dict.h"
#include "gtl/gtl_list.h"

namespace {

std::vector<std::string> makeKeys(int n)
{
    std::vector<std::string> keys;
    keys.reserve(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i)
        keys.push_back("key" + std::to_string(i));
    return keys;
}

// Inserting n fresh keys: each set searches every key already present.
void BM_DictSetNewKeys(benchmark::State &state)
{
    const auto keys = makeKeys(int(state.range(0)));
    for (auto _ : state) {
        gtl_obj *dict = gtl_dict_create();
        for (size_t i = 0; i < keys.size(); ++i)
            gtl_dict_set_int(dict, keys[i].c_str(), int(i));
        gtl_dict_destroy(dict);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
    state.SetComplexityN(state.range(0));
}

// Replacing every value of a full dictionary.
void BM_DictSetReplace(benchmark::State &state)
{
    const auto keys = makeKeys(int(state.range(0)));
    gtl_obj *dict = gtl_dict_create();
    for (const auto &k : keys)
        gtl_dict_set_int(dict, k.c_str(), 0);
    for (auto _ : state)
        for (size_t i = 0; i < keys.size(); ++i)
            gtl_dict_set_int(dict, keys[i].c_str(), int(i));
    gtl_dict_destroy(dict);
    state.SetItemsProcessed(state.iterations() * state.range(0));
    state.SetComplexityN(state.range(0));
}

void BM_DictGet(benchmark::State &state)
{
    const auto keys = makeKeys(int(state.range(0)));
    gtl_obj *dict = gtl_dict_create();
    for (size_t i = 0; i < keys.size(); ++i)
        gtl_dict_set_int(dict, keys[i].c_str(), int(i));
    for (auto _ : state) {
        long sum = 0;
        for (const auto &k : keys) {
            int v = 0;
            gtl_dict_get_int(dict, k.c_str(), &v);
            sum += v;
        }
        benchmark::DoNotOptimize(sum);
    }
    gtl_dict_destroy(dict);
    state.SetItemsProcessed(state.iterations() * state.range(0));
    state.SetComplexityN(state.range(0));
}

// Appending is constant time per item: the chain keeps its tail.
void BM_ListAppend(benchmark::State &state)
{
    for (auto _ : state) {
        gtl_obj *list = gtl_list_create();
        for (int i = 0; i < state.range(0); ++i)
            gtl_list_append_int(list, i);
        gtl_list_destroy(list);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
    state.SetComplexityN(state.range(0));
}

// Reading every index: each get steps from the head.
void BM_ListGetEveryIndex(benchmark::State &state)
{
    gtl_obj *list = gtl_list_create();
    for (int i = 0; i < state.range(0); ++i)
        gtl_list_append_int(list, i);
    for (auto _ : state) {
        long sum = 0;
        for (int i = 0; i < state.range(0); ++i) {
            int v = 0;
            gtl_list_get_int(list, i, &v);
            sum += v;
        }
        benchmark::DoNotOptimize(sum);
    }
    gtl_list_destroy(list);
    state.SetItemsProcessed(state.iterations() * state.range(0));
    state.SetComplexityN(state.range(0));
}

}  // namespace

BENCHMARK(BM_DictSetNewKeys)->RangeMultiplier(10)->Range(10, 1000)->Complexity();
BENCHMARK(BM_DictSetReplace)->RangeMultiplier(10)->Range(10, 1000)->Complexity();
BENCHMARK(BM_DictGet)->RangeMultiplier(10)->Range(10, 1000)->Complexity();
BENCHMARK(BM_ListAppend)->RangeMultiplier(10)->Range(100, 10000)->Complexity();
BENCHMARK(BM_ListGetEveryIndex)->RangeMultiplier(10)->Range(100, 10000)->Complexity();

BENCHMARK_MAIN();
