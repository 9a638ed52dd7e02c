#include "tools/sim/Recording.h"

#include "tools/sim/Random.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace quenda::sim {

namespace {

// A rise-hold-return bump: 0 before `start`, eases to `amplitude` over `rise`
// seconds, stays for `hold`, eases back to 0 over `fall`.
struct Bump {
    int start = 0;
    int rise = 1;
    int hold = 0;
    int fall = 1;
    double amplitude = 0;

    int End() const { return start + rise + hold + fall; }

    double At(int t) const {
        auto ease = [](double x) { return 0.5 - 0.5 * std::cos(std::numbers::pi * x); };
        const int u = t - start;
        if (u < 0 || u >= rise + hold + fall) return 0;
        if (u < rise) return amplitude * ease(static_cast<double>(u) / rise);
        if (u < rise + hold) return amplitude;
        return amplitude * (1 - ease(static_cast<double>(u - rise - hold) / fall));
    }
};

// A value that drifts towards a target which is redrawn every few minutes.
struct Drift {
    double value;
    double target;
    double lo, hi;

    void Step(Random& rng, int t, int every, double rate) {
        if (t % every == 0) target = rng.Real(lo, hi);
        value += (target - value) * rate;
    }
};

class NightSignal {
public:
    // `severity`: how many times as often desaturations come; 1 is the usual.
    NightSignal(std::uint64_t seed, double severity) : rng_(seed), severity_(severity) {
        spo2Base_ = {rng_.Real(95, 97.5), 96, 94.5, 97.5};
        pulseBase_ = {rng_.Real(56, 72), 64, 54, 80};
        auxBase_ = {rng_.Real(6, 20), 12, 4, 24};
        nextDip_ = rng_.Between(120, 900);
        nextPulseEvent_ = rng_.Between(300, 1800);
    }

    void Fill(int t, SampleRecord& r) {
        spo2Base_.Step(rng_, t, 300, 0.004);
        pulseBase_.Step(rng_, t, 420, 0.003);
        auxBase_.Step(rng_, t, 240, 0.01);
        ScheduleEvents(t);

        const double spo2 = spo2Base_.value - dip_.At(t) + rng_.Real(-0.7, 0.7);
        const double pulse = pulseBase_.value + arousal_.At(t) + pulseEvent_.At(t) + rng_.Real(-1.5, 1.5);
        const double aux = auxBase_.value + rng_.Real(-2, 2);
        r.spo2 = static_cast<std::uint8_t>(std::clamp(std::lround(spo2), 70L, 100L));
        r.pulseRate = static_cast<std::uint8_t>(std::clamp(std::lround(pulse), 50L, 110L));
        r.auxValue = static_cast<std::uint16_t>(std::clamp(std::lround(aux), 0L, 40L));
    }

private:
    void ScheduleEvents(int t) {
        if (t == nextDip_) {
            // A worse night's dips go deeper too (as deep as usual at severity 1).
            dip_ = {t, rng_.Between(10, 60), rng_.Between(3, 15), rng_.Between(10, 40),
                    rng_.Real(4, 15) * (0.75 + 0.25 * severity_)};
            // The sleeper often half-wakes as the saturation comes back: the pulse
            // rises while it recovers.
            if (rng_.Chance(0.7)) {
                arousal_ = {dip_.start + dip_.rise + dip_.hold, rng_.Between(5, 12), rng_.Between(0, 10),
                            rng_.Between(20, 45), rng_.Real(6, 18)};
            }
            // Apnoeas come in clusters: a short gap usually follows a dip.
            int gap = rng_.Chance(0.45) ? rng_.Between(20, 90) : rng_.Between(240, 1500);
            if (severity_ != 1) gap = std::max(20, static_cast<int>(std::lround(gap / severity_)));
            nextDip_ = dip_.End() + gap;
        }
        if (t == nextPulseEvent_) {
            const bool rise = rng_.Chance(0.5);
            pulseEvent_ = {t, rng_.Between(15, 60), rng_.Between(20, 240), rng_.Between(20, 90),
                           rise ? rng_.Real(8, 25) : -rng_.Real(5, 12)};
            nextPulseEvent_ = pulseEvent_.End() + rng_.Between(600, 2400);
        }
    }

    Random rng_;
    double severity_;
    Drift spo2Base_{}, pulseBase_{}, auxBase_{};
    Bump dip_, arousal_, pulseEvent_;
    int nextDip_ = 0;
    int nextPulseEvent_ = 0;
};

std::uint64_t SignalSeed(int id, std::uint64_t seed) {
    return seed ^ (0xD1B54A32D192ED03ull * static_cast<std::uint64_t>(id));
}

// `count` samples of `signal` from `start`, appended to `out`.
void Generate(NightSignal& signal, int id, int count, const DateTime& start, std::vector<SampleRecord>& out) {
    const std::size_t first = out.size();
    out.resize(first + static_cast<std::size_t>(std::max(count, 0)));
    DateTime now = start;
    for (int t = 0; t < count; ++t) {
        SampleRecord& r = out[first + static_cast<std::size_t>(t)];
        r.id = static_cast<std::uint8_t>(id);
        r.year = static_cast<std::uint8_t>(now.year - 2000);
        r.month = static_cast<std::uint8_t>(now.month);
        r.day = static_cast<std::uint8_t>(now.day);
        r.hour = static_cast<std::uint8_t>(now.hour);
        r.minute = static_cast<std::uint8_t>(now.minute);
        r.second = static_cast<std::uint8_t>(now.second);
        signal.Fill(t, r);
        now = AddSeconds(now, 1);
    }
}

}  // namespace

std::vector<SampleRecord> GenerateRecording(int id, int count, const DateTime& start, std::uint64_t seed) {
    NightSignal signal(SignalSeed(id, seed), 1);
    std::vector<SampleRecord> out;
    Generate(signal, id, count, start, out);
    return out;
}

std::vector<Stretch> NightStretches(int id, int nights) {
    Random rng(0x9E6C63D0676A9A99ull * static_cast<std::uint64_t>(id) + static_cast<std::uint64_t>(nights));
    std::vector<Stretch> out;
    for (int n = 0; n < nights; ++n) {
        const std::int64_t bedtime = std::int64_t{n} * 86'400 + (n == 0 ? 0 : rng.Between(-45, 75) * 60);
        const int length = rng.Between(6 * 60, 8 * 60 + 30) * 60;
        // A course of treatment begins half way through four nights or more:
        // the later nights' desaturations come rarer and shallower, as a
        // before-and-after summary would show them.
        const bool treated = nights >= 4 && n >= nights / 2;
        const double u = rng.Real(0, 1);
        const double severity = treated ? 0.3 + 0.5 * u : 1.2 + 2.2 * u;
        if (nights >= 3 && n == nights / 2) {
            const int before = rng.Between(150, 240) * 60;
            const int off = rng.Between(65, 80) * 60;
            out.push_back({bedtime, before, n, severity});
            out.push_back({bedtime + before + off, length - before, n, severity});
        } else {
            out.push_back({bedtime, length, n, severity});
        }
    }
    return out;
}

IdPlan NightsPlan(int id, int nights) {
    IdPlan plan{id, 0, nights};
    for (const Stretch& s : NightStretches(id, nights)) plan.samples += s.samples;
    return plan;
}

std::map<int, std::vector<SampleRecord>> GenerateRecordings(const std::vector<IdPlan>& plans, const DateTime& start,
                                                            std::uint64_t seed) {
    std::vector<IdPlan> sorted = plans;
    std::sort(sorted.begin(), sorted.end(), [](const IdPlan& a, const IdPlan& b) { return a.id < b.id; });

    std::map<int, std::vector<SampleRecord>> out;
    DateTime nightStart = start;
    DateTime previousEnd = start;
    for (const IdPlan& plan : sorted) {
        while (SecondsBetween(previousEnd, nightStart) < 0) nightStart = AddSeconds(nightStart, 86'400);
        if (plan.nights == 0) {
            out[plan.id] = GenerateRecording(plan.id, plan.samples, nightStart, seed);
            previousEnd = AddSeconds(nightStart, plan.samples);
            continue;
        }
        std::vector<SampleRecord>& samples = out[plan.id];
        for (const Stretch& s : NightStretches(plan.id, plan.nights)) {
            // Each night a sleeper of its own making; the two halves of a
            // broken night, a recorder switched on again.
            NightSignal signal(SignalSeed(plan.id, seed) + 0x632BE59BD9B4E019ull * static_cast<std::uint64_t>(s.offset),
                               s.severity);
            const DateTime from = AddSeconds(nightStart, s.offset);
            Generate(signal, plan.id, s.samples, from, samples);
            previousEnd = AddSeconds(from, s.samples);
        }
    }
    return out;
}

}  // namespace quenda::sim
