// The sample project's EAF task melted under several settings, each result
// held to the values the solver gave when they were recorded, to a relative
// 1e-10. The project is a frozen copy of the shipped sample (fixture folder
// sample-melt), so that revisions of the shipped data do not move the
// pinned values. The solver stops once its steps fall below 1e-10, so work
// on its arithmetic (another exponential, a table derived from a nearby
// temperature, a sum in another order) may move a result within that, with
// the heat balance's numerical derivatives amplifying last-place changes to
// about 1e-12; a changed iteration count, a lost clamp or a reordered step
// moves results far more, and shows here long before it shows in the
// plausibility tests.

#include "Constraints.h"
#include "ForwardProblem.h"
#include "LoaderTestSupport.h"
#include "Optimiser.h"
#include "RecordingHost.h"
#include "RunState.h"
#include "SampleProjectSupport.h"
#include "SimplexLP.h"
#include "SystemSetup.h"
#include "ThSys.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

namespace ferrolyt::test {
namespace {

struct TPinned {
    const char* Name;
    long double Value;
};

constexpr long double PinnedTolerance = 1e-10L;

class SampleMeltRegression : public LoaderTestBase {
protected:
    void SetUp() override
    {
        LoaderTestBase::SetUp();
        UseSampleSolutionSettings();
        Settings.AutoOxygen = true;
        const std::filesystem::path fixture = std::filesystem::path(FERROLYT_FIXTURES) / "sample-melt";
        for (const auto& file : std::filesystem::directory_iterator(fixture))
            std::filesystem::copy_file(file.path(), project_ / file.path().filename().string());
        ASSERT_TRUE(LoadProject((project_ / "FERROLYT.FWP").string()));
        ASSERT_EQ(TaskList.Current, 0);
    }

    static long double ElementValue(const TThSys& sys, const char* symbol, long double TElementRecord::*field)
    {
        const int i = sys.Elems->IndexOfSymbol(symbol);
        EXPECT_GE(i, 0) << symbol;
        return i < 0 ? 0.0L : sys.El(i).*field;
    }

    // What a melt leaves in both systems: phases, solver variables, heat,
    // a few analyses and sensitivities.
    static std::vector<TPinned> MeltResults()
    {
        std::vector<TPinned> r;
        for (int k = 0; k < 2; ++k) {
            const TThSys& s = *ThSystems[static_cast<std::size_t>(k)];
            const bool lower = k == 0;
            r.push_back({lower ? "lower T" : "upper T", s.Temperature});
            r.push_back({lower ? "lower metal mass" : "upper metal mass", s.MetalMass});
            r.push_back({lower ? "lower slag mass" : "upper slag mass", s.SlagMass});
            r.push_back({lower ? "lower gas mass" : "upper gas mass", s.GasMass});
            r.push_back({lower ? "lower ln metal/slag" : "upper ln metal/slag", s.LnMetalSlag});
            r.push_back({lower ? "lower ln metal/gas" : "upper ln metal/gas", s.LnMetalGas});
            r.push_back({lower ? "lower slag potential" : "upper slag potential", s.SlagPotential});
            r.push_back({lower ? "lower gas pressure" : "upper gas pressure", s.GasPressureSum});
            r.push_back({lower ? "lower heat" : "upper heat", s.Heat.H[phTotal]});
            r.push_back({lower ? "lower basicity" : "upper basicity", s.Basicity});
            r.push_back({lower ? "lower [C]" : "upper [C]", ElementValue(s, "C", &TElementRecord::MetalFraction)});
            r.push_back({lower ? "lower [O]" : "upper [O]", ElementValue(s, "O", &TElementRecord::MetalFraction)});
            r.push_back({lower ? "lower [Mn]" : "upper [Mn]", ElementValue(s, "Mn", &TElementRecord::MetalFraction)});
            r.push_back({lower ? "lower [S]" : "upper [S]", ElementValue(s, "S", &TElementRecord::MetalFraction)});
            r.push_back({lower ? "lower (FeO)" : "upper (FeO)",
                         ElementValue(s, "Fe", &TElementRecord::SlagCompoundFraction)});
            const int c = s.Elems->IndexOfSymbol("C");
            const int o = s.Elems->IndexOfSymbol("O");
            r.push_back({lower ? "lower d[C]/dO" : "upper d[C]/dO",
                         ElementEffectsOnMetal[static_cast<std::size_t>(k)][static_cast<std::size_t>(c)]
                                              [static_cast<std::size_t>(o)]});
        }
        return r;
    }

    static void ExpectPinned(const std::vector<TPinned>& actual, const std::vector<TPinned>& expected)
    {
        ASSERT_EQ(actual.size(), expected.size());
        for (std::size_t k = 0; k < actual.size(); ++k) {
            SCOPED_TRACE(expected[k].Name);
            ASSERT_STREQ(actual[k].Name, expected[k].Name);
            const long double a = actual[k].Value, e = expected[k].Value;
            EXPECT_LE(std::fabs(a - e), PinnedTolerance * std::fabs(e))
                << "got " << static_cast<double>(a) << ", pinned " << static_cast<double>(e) << ", relative "
                << static_cast<double>(std::fabs(a - e) / std::fabs(e));
        }
    }

    ScratchFolder project_;
    RecordingHost host_;
};

TEST_F(SampleMeltRegression, MeltAtTheTaskTemperature)
{
    ASSERT_TRUE(MeltForward().BothConverged);
    ExpectPinned(MeltResults(), {
        {"lower T", 1913.15000000000000002L},
        {"lower metal mass", 100.413254345229046305L},
        {"lower slag mass", 4.92032466443624312471L},
        {"lower gas mass", 3.65694146436054468821L},
        {"lower ln metal/slag", 2.27232034984902414977L},
        {"lower ln metal/gas", 1.9345018292933661557L},
        {"lower slag potential", 2.97276475588159673708L},
        {"lower gas pressure", 0.999999999924082428129L},
        {"lower heat", -51404.6060615378678449L},
        {"lower basicity", 2.4556374789281427216L},
        {"lower [C]", 0.000286850672827806419616L},
        {"lower [O]", 0.000823861274588374761869L},
        {"lower [Mn]", 0.000524602344688872116448L},
        {"lower [S]", 0.000182581164309545793575L},
        {"lower (FeO)", 0.172406824794822760677L},
        {"lower d[C]/dO", -0.00639553698443436700228L},
        {"upper T", 1913.15000000000000002L},
        {"upper metal mass", 100.054619974356097466L},
        {"upper slag mass", 5.26309054569412871055L},
        {"upper gas mass", 3.97987040304616704854L},
        {"upper ln metal/slag", 2.1662984636079781794L},
        {"upper ln metal/gas", 1.84071841577334490098L},
        {"upper slag potential", 3.29358975870508624909L},
        {"upper gas pressure", 1.00000000009135877048L},
        {"upper heat", -58544.2652260444630627L},
        {"upper basicity", 1.97467274715900360836L},
        {"upper [C]", 0.000530547498644387896887L},
        {"upper [O]", 0.000443968071681302504463L},
        {"upper [Mn]", 0.00129514874734624036213L},
        {"upper [S]", 0.000269221533503869239561L},
        {"upper (FeO)", 0.0766678866060950908894L},
        {"upper d[C]/dO", -0.0109647108019821939935L},
    });
}

TEST_F(SampleMeltRegression, MeltingAgainGivesTheSameBits)
{
    // Nothing the first melt leaves behind (slag potential, kept tables, a
    // table to derive others from) may reach the second one's results, at
    // the task temperature or with the heat balance.
    for (const uint8_t mode : {uint8_t{0}, uint8_t{1}}) {
        SCOPED_TRACE("final temperature mode " + std::to_string(mode));
        Settings.FinalTempMode = mode;
        ASSERT_TRUE(MeltForward().BothConverged);
        const std::vector<TPinned> first = MeltResults();
        for (int again = 0; again < 2; ++again) {
            ASSERT_TRUE(MeltForward().BothConverged);
            const std::vector<TPinned> next = MeltResults();
            ASSERT_EQ(next.size(), first.size());
            for (std::size_t k = 0; k < first.size(); ++k)
                EXPECT_EQ(0, std::memcmp(&next[k].Value, &first[k].Value, 10)) << first[k].Name;
        }
    }
}

TEST_F(SampleMeltRegression, MeltWithTheHeatBalance)
{
    Settings.FinalTempMode = 1;
    ASSERT_TRUE(MeltForward().BothConverged);
    ExpectPinned(MeltResults(), {
        {"lower T", 1727.1308993464916L},
        {"lower metal mass", 100.34444482310298L},
        {"lower slag mass", 4.9871217415276723L},
        {"lower gas mass", 3.6589539093951839L},
        {"lower ln metal/slag", 2.259704902692071L},
        {"lower ln metal/gas", 1.9340517228127689L},
        {"lower slag potential", 3.3254559100138565L},
        {"lower gas pressure", 0.999999999900657550098L},
        {"lower heat", -53470.045590996779L},
        {"lower basicity", 2.4477534944311827L},
        {"lower [C]", 0.00046940892565456557L},
        {"lower [O]", 0.00041618922553934943L},
        {"lower [Mn]", 0.00016041618732911243L},
        {"lower [S]", 0.0001816065660264809L},
        {"lower (FeO)", 0.16998604564301728L},
        {"lower d[C]/dO", -0.010586261376289284L},
        {"upper T", 1860.361004226816L},
        {"upper metal mass", 100.0262305308629L},
        {"upper slag mass", 5.3118833944971522L},
        {"upper gas mass", 3.9594669977363415L},
        {"upper ln metal/slag", 2.1572006193137616L},
        {"upper ln metal/gas", 1.845469698405553L},
        {"upper slag potential", 3.4056354326782161L},
        {"upper gas pressure", 1.00000000008777619408L},
        {"upper heat", -59296.888240266002L},
        {"upper basicity", 1.9649752310789266L},
        {"upper [C]", 0.00062930044329458275L},
        {"upper [O]", 0.0003583518968576407L},
        {"upper [Mn]", 0.0010090628229891081L},
        {"upper [S]", 0.00026372102607172916L},
        {"upper (FeO)", 0.07230895104613265L},
        {"upper d[C]/dO", -0.013120527832830161L},
    });
}

TEST_F(SampleMeltRegression, MeltWithTheSimplifiedHeatBalance)
{
    Settings.FinalTempMode = 2;
    ASSERT_TRUE(MeltForward().BothConverged);
    ExpectPinned(MeltResults(), {
        {"lower T", 1727.1308993257055L},
        {"lower metal mass", 100.34444482303729L},
        {"lower slag mass", 4.9871217415958649L},
        {"lower gas mass", 3.6589539093926722L},
        {"lower ln metal/slag", 2.2597049026755736L},
        {"lower ln metal/gas", 1.9340517228174663L},
        {"lower slag potential", 3.3254559100504109L},
        {"lower gas pressure", 0.999999999902895048262L},
        {"lower heat", -53470.045591484886L},
        {"lower basicity", 2.4477534944308643L},
        {"lower [C]", 0.0004694089256820971L},
        {"lower [O]", 0.00041618922550672204L},
        {"lower [Mn]", 0.00016041618729070617L},
        {"lower [S]", 0.00018160656602758009L},
        {"lower (FeO)", 0.16998604565579378L},
        {"lower d[C]/dO", -0.010586261376873579L},
        {"upper T", 1860.3610042377327L},
        {"upper metal mass", 100.0262305308562L},
        {"upper slag mass", 5.3118833945081718L},
        {"upper gas mass", 3.9594669977320236L},
        {"upper ln metal/slag", 2.1572006193145681L},
        {"upper ln metal/gas", 1.8454696984042682L},
        {"upper slag potential", 3.4056354326368941L},
        {"upper gas pressure", 1.00000000008441758002L},
        {"upper heat", -59296.888240133158L},
        {"upper basicity", 1.964975231080258L},
        {"upper [C]", 0.00062930044324712732L},
        {"upper [O]", 0.00035835189688719567L},
        {"upper [Mn]", 0.0010090628230370331L},
        {"upper [S]", 0.00026372102607562556L},
        {"upper (FeO)", 0.072308951049078737L},
        {"upper d[C]/dO", -0.01312052783183338L},
    });
}

TEST_F(SampleMeltRegression, MeltByTheDampedChain)
{
    Settings.BetterConvergence = true;
    ASSERT_TRUE(MeltForward().BothConverged);
    ExpectPinned(MeltResults(), {
        {"lower T", 1913.15000000000000002L},
        {"lower metal mass", 100.413254345503668678L},
        {"lower slag mass", 4.92032466441138273405L},
        {"lower gas mass", 3.6569414641107827104L},
        {"lower ln metal/slag", 2.27232034982655378068L},
        {"lower ln metal/gas", 1.93450182938144588693L},
        {"lower slag potential", 2.97276475603327263548L},
        {"lower gas pressure", 0.999999999987412306688L},
        {"lower heat", -51404.6060605879049525L},
        {"lower basicity", 2.45563747893297409865L},
        {"lower [C]", 0.000286850672894013546304L},
        {"lower [O]", 0.000823861274441320049625L},
        {"lower [Mn]", 0.000524602344812569806445L},
        {"lower [S]", 0.000182581164294698491287L},
        {"lower (FeO)", 0.172406824738414006152L},
        {"lower d[C]/dO", -0.00639553698635587733887L},
        {"upper T", 1913.15000000000000002L},
        {"upper metal mass", 100.054619973494768922L},
        {"upper slag mass", 5.26309054612564151347L},
        {"upper gas mass", 3.97987040347598280379L},
        {"upper ln metal/slag", 2.16629846365368156861L},
        {"upper ln metal/gas", 1.84071841560897079128L},
        {"upper slag potential", 3.29358975789404104565L},
        {"upper gas pressure", 0.999999999974562362815L},
        {"upper heat", -58544.2652308359739664L},
        {"upper basicity", 1.97467274709283231629L},
        {"upper [C]", 0.000530547497832280332933L},
        {"upper [O]", 0.000443968072306725987073L},
        {"upper [Mn]", 0.00129514874573923336182L},
        {"upper [S]", 0.000269221533687996599044L},
        {"upper (FeO)", 0.0766678867336542334594L},
        {"upper d[C]/dO", -0.0109647107840101293594L},
    });
}

TEST_F(SampleMeltRegression, MeltWithThePairSlagModel)
{
    Settings.SlagModel = 1;
    Settings.FinalTempMode = 1;
    ASSERT_TRUE(MeltForward().BothConverged);
    ExpectPinned(MeltResults(), {
        {"lower T", 1757.8414173454823L},
        {"lower metal mass", 100.1953799671474L},
        {"lower slag mass", 5.1805557777955302L},
        {"lower gas mass", 3.614584729082897L},
        {"lower ln metal/slag", 2.2304275874370099L},
        {"lower ln metal/gas", 1.9438153105434326L},
        {"lower slag potential", 3.5966532612473174L},
        {"lower gas pressure", 0.99999999990433641L},
        {"lower heat", -56044.766375766776L},
        {"lower basicity", 2.4471421169231862L},
        {"lower [C]", 0.00051802538971371711L},
        {"lower [O]", 0.00039230948027172351L},
        {"lower [Mn]", 0.00011160404372764516L},
        {"lower [S]", 0.00018393475298576271L},
        {"lower (FeO)", 0.20186786737434956L},
        {"lower d[C]/dO", -0.011634360033507291L},
        {"upper T", 1894.5838511884219L},
        {"upper metal mass", 99.913583690896601L},
        {"upper slag mass", 5.4433298707960889L},
        {"upper gas mass", 3.9406673614036993L},
        {"upper ln metal/slag", 2.1423803649187052L},
        {"upper ln metal/gas", 1.8489882254120735L},
        {"upper slag potential", 3.6643390108920557L},
        {"upper gas pressure", 1.00000000008961299172L},
        {"upper heat", -62146.735646188114L},
        {"upper basicity", 1.9550267751227133L},
        {"upper [C]", 0.00065825095873051033L},
        {"upper [O]", 0.0003536010848622586L},
        {"upper [Mn]", 0.00077296180311250962L},
        {"upper [S]", 0.00027671208696158916L},
        {"upper (FeO)", 0.10407317444317714L},
        {"upper d[C]/dO", -0.013651281492590551L},
    });
}

TEST_F(SampleMeltRegression, MeltWithInclusions)
{
    Settings.CalcNmi = true;
    Settings.InitialExoNmiShare = 5;
    Settings.ExoNmiRadius = 5;
    Settings.AutoNmiRadius = true;
    Settings.EndoNmiMultiple = 2;
    Settings.NmiTemp = 1550;
    ASSERT_TRUE(MeltForward().BothConverged);
    std::vector<TPinned> r = MeltResults();
    for (int k = 0; k < 2; ++k) {
        const TThSys& s = *ThSystems[static_cast<std::size_t>(k)];
        r.push_back({k == 0 ? "lower inclusions" : "upper inclusions", s.NmiMass});
        r.push_back({k == 0 ? "lower critical radius" : "upper critical radius", s.NmiCriticalRadius});
    }
    ExpectPinned(r, {
        {"lower T", 1913.15000000000000002L},
        {"lower metal mass", 100.409738234312787004L},
        {"lower slag mass", 4.92032466443621934122L},
        {"lower gas mass", 3.65694146436054979134L},
        {"lower ln metal/slag", 2.2723203498490283207L},
        {"lower ln metal/gas", 1.93450182929336472661L},
        {"lower slag potential", 2.97276475588160406694L},
        {"lower gas pressure", 0.999999999924081332868L},
        {"lower heat", -51404.6060615558199203L},
        {"lower basicity", 2.45563747892814299525L},
        {"lower [C]", 0.000286860708387058228892L},
        {"lower [O]", 0.000810303958438187555232L},
        {"lower [Mn]", 0.000519233630211276109235L},
        {"lower [S]", 0.000182553847218816752091L},
        {"lower (FeO)", 0.172406824794818858837L},
        {"lower d[C]/dO", -0.00639553698443445207531L},
        {"upper T", 1913.15000000000000002L},
        {"upper metal mass", 100.043875148965839349L},
        {"upper slag mass", 5.26309054569282945774L},
        {"upper gas mass", 3.97987040304640978731L},
        {"upper ln metal/slag", 2.16629846360820385457L},
        {"upper ln metal/gas", 1.84071841577328291063L},
        {"upper slag potential", 3.2935897587059549084L},
        {"upper gas pressure", 1.00000000009129595018L},
        {"upper heat", -58544.2652260393262367L},
        {"upper basicity", 1.97467274715908021224L},
        {"upper [C]", 0.000530604466182898349834L},
        {"upper [O]", 0.000399618979119906787686L},
        {"upper [Mn]", 0.00127444066278204839958L},
        {"upper [S]", 0.000268908064355525251573L},
        {"upper (FeO)", 0.0766678866059363634203L},
        {"upper d[C]/dO", -0.0109647108019992351698L},
        {"lower inclusions", 0.00351611091627799755098L},
        {"lower critical radius", 0L},
        {"upper inclusions", 0.0107448253913146532456L},
        {"upper critical radius", 0L},
    });
}

// The optimiser rounds its charge to kilograms, so the charge is held
// exactly; the systems are those of its last pass. The stop request of the
// idle state ends the run after its first pass, whose charge (of the task's
// own materials) no melt has checked: no answer.
TEST_F(SampleMeltRegression, CheapestCharge)
{
    PrepareSystems();
    ASSERT_TRUE(BuildConstraintBlocks());
    CalcBusy = true;
    const int32_t status = Optimise(-1);
    CalcBusy = false;
    EXPECT_EQ(status, lpNotMet);
    EXPECT_EQ(SlpPass, 1);
    const std::vector<std::pair<int, long double>> charge{
        {1, 5.762L},
        {2, 50L},
        {3, 40L},
        {6, 1.811L},
        {15, 1.602L},
        {16, 0.696L},
        {18, 2.165L},
        {20, 1.202L},
        {21, 40L},
    };
    std::size_t next = 0;
    for (int j = 1; j <= MaterialCount; ++j) {
        if (MaterialTable[j].Amount == 0)
            continue;
        ASSERT_LT(next, charge.size()) << "material " << j << " charged";
        EXPECT_EQ(j, charge[next].first);
        EXPECT_EQ(MaterialTable[j].Amount, charge[next].second) << "material " << j;
        ++next;
    }
    EXPECT_EQ(next, charge.size());
    ExpectPinned(MeltResults(), {
        {"lower T", 1913.15000000000000002L},
        {"lower metal mass", 100.41325434540083876L},
        {"lower slag mass", 4.92032466421752502162L},
        {"lower gas mass", 3.6569414644074703291L},
        {"lower ln metal/slag", 2.27232034988738282148L},
        {"lower ln metal/gas", 1.93450182928022687058L},
        {"lower slag potential", 2.9727647559490076245L},
        {"lower gas pressure", 0.999999999914032471765L},
        {"lower heat", -51404.6060610180749926L},
        {"lower basicity", 2.45563747893066302414L},
        {"lower [C]", 0.000286850672861479091242L},
        {"lower [O]", 0.000823861274482413641832L},
        {"lower [Mn]", 0.000524602344764592028127L},
        {"lower [S]", 0.000182581164304642102156L},
        {"lower (FeO)", 0.172406824758940445126L},
        {"lower d[C]/dO", -0.00639553698521690022697L},
        {"upper T", 1913.15000000000000002L},
        {"upper metal mass", 100.054559765201449686L},
        {"upper slag mass", 5.26315420475777701438L},
        {"upper gas mass", 3.97986695313716654109L},
        {"upper ln metal/slag", 2.16628979820868341815L},
        {"upper ln metal/gas", 1.8407180197550107655L},
        {"upper slag potential", 3.29353840268835108373L},
        {"upper gas pressure", 0.999999987811530687768L},
        {"upper heat", -58544.5762988983536701L},
        {"upper basicity", 1.97466831753649563631L},
        {"upper [C]", 0.000530497155586873360015L},
        {"upper [O]", 0.000444009814452509750894L},
        {"upper [Mn]", 0.00129503525069761309541L},
        {"upper [S]", 0.000269232006822893905514L},
        {"upper (FeO)", 0.076676894164588548056L},
        {"upper d[C]/dO", -0.0109636566647089543223L},
    });
}

} // namespace
} // namespace ferrolyt::test
