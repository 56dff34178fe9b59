// The lenient readers of RpcValue and the containers' bookkeeping.

#include "tessary/RpcRequest.h"
#include "tessary/RpcValue.h"

#include <gtest/gtest.h>

namespace {

using namespace tessary;

TEST(TessaryValue, IntegerReader) {
    EXPECT_EQ(RpcValue::String("42").IntegerValue(), 42);
    EXPECT_EQ(RpcValue::String(" -42 ").IntegerValue(), -42);
    EXPECT_EQ(RpcValue::String("2.5").IntegerValue(), 2) << "ties round to even";
    EXPECT_EQ(RpcValue::String("3.5").IntegerValue(), 4);
    EXPECT_EQ(RpcValue::String("abc").IntegerValue(), 0);
    EXPECT_EQ(RpcValue::String("12abc").IntegerValue(), 0);
    EXPECT_EQ(RpcValue::String("").IntegerValue(), 0);
    EXPECT_EQ(RpcValue::String("99999999999").IntegerValue(), 0);
    EXPECT_EQ(RpcValue::Boolean(true).IntegerValue(), 1);
    EXPECT_EQ(RpcValue::Double(-7.6).IntegerValue(), -8);
    EXPECT_EQ(RpcValue::Double(3e9).IntegerValue(), 0);
    EXPECT_EQ(RpcValue::DateTimeIso("20090703T14:05:09").IntegerValue(), 0);
    EXPECT_EQ(RpcValue().IntegerValue(), 0);
    EXPECT_EQ(RpcValue::Struct(std::make_shared<RpcStruct>()).IntegerValue(), 0);
}

TEST(TessaryValue, StringReader) {
    EXPECT_EQ(RpcValue::Integer(-123).StringValue(), "-123");
    EXPECT_EQ(RpcValue::Boolean(true).StringValue(), "1");
    EXPECT_EQ(RpcValue::Boolean(false).StringValue(), "0");
    EXPECT_EQ(RpcValue::Double(0.1).StringValue(), "0.1");
    EXPECT_EQ(RpcValue::Double(1500).StringValue(), "1500");
    EXPECT_EQ(RpcValue::DateTimeIso("20090703T14:05:09").StringValue(), "20090703T14:05:09");
    EXPECT_EQ(RpcValue().StringValue(), "");
    EXPECT_EQ(RpcValue::Array(std::make_shared<RpcArray>()).StringValue(), "");
}

TEST(TessaryValue, BooleanReader) {
    EXPECT_TRUE(RpcValue::String("TRUE").BooleanValue());
    EXPECT_TRUE(RpcValue::String(" yes ").BooleanValue());
    EXPECT_TRUE(RpcValue::String("-1").BooleanValue());
    EXPECT_FALSE(RpcValue::String("0").BooleanValue());
    EXPECT_FALSE(RpcValue::String("false").BooleanValue());
    EXPECT_FALSE(RpcValue::String("maybe").BooleanValue());
    EXPECT_TRUE(RpcValue::Integer(2).BooleanValue());
    EXPECT_FALSE(RpcValue::Integer(0).BooleanValue());
    EXPECT_TRUE(RpcValue::Double(0.5).BooleanValue());
    EXPECT_FALSE(RpcValue().BooleanValue());
}

TEST(TessaryValue, DoubleAndDateReaders) {
    EXPECT_DOUBLE_EQ(RpcValue::String("1.25").DoubleValue(), 1.25);
    EXPECT_DOUBLE_EQ(RpcValue::String("x").DoubleValue(), 0.0);
    EXPECT_DOUBLE_EQ(RpcValue::Integer(3).DoubleValue(), 3.0);
    EXPECT_DOUBLE_EQ(RpcValue::DateTimeIso("18991230T06:00:00").DateValue(), 0.25);
    EXPECT_DOUBLE_EQ(RpcValue::String("20090706T00:00:00").DateValue(), 40000.0);
    EXPECT_DOUBLE_EQ(RpcValue::DateTimeIso("garbage").DateValue(), 0.0);
    EXPECT_DOUBLE_EQ(RpcValue::Double(40000.5).DateValue(), 40000.5);
    EXPECT_DOUBLE_EQ(RpcValue::Boolean(true).DateValue(), 0.0);
    EXPECT_DOUBLE_EQ(RpcValue::Date(40000.5).DateValue(), 40000.5);
}

TEST(TessaryValue, StructAndArrayReadersOnlyForTheirType) {
    auto s = std::make_shared<RpcStruct>();
    EXPECT_EQ(RpcValue::Struct(s).StructValue(), s) << "shared, not copied";
    EXPECT_EQ(RpcValue::Struct(s).ArrayValue(), nullptr);
    EXPECT_EQ(RpcValue::String("x").StructValue(), nullptr);
    EXPECT_EQ(RpcValue::Struct(nullptr).Type(), RpcType::Empty);
}

TEST(TessaryValue, StructKeepsOrderAndReplacesInPlace) {
    RpcStruct s;
    s.AddString("b", "1");
    s.AddInteger("a", 2);
    s.AddString("b", "3");
    ASSERT_EQ(s.Count(), 2u);
    EXPECT_EQ(s.Members()[0].first, "b");
    EXPECT_EQ(s.Item("b").StringValue(), "3");
    EXPECT_FALSE(s.Exists("c"));
    EXPECT_EQ(s.Item("c").Type(), RpcType::Empty);
    for (int i = 0; i < 40; ++i)
        s.AddInteger("k" + std::to_string(i), i);
    s.AddInteger("b", 9);
    EXPECT_EQ(s.Count(), 42u);
    EXPECT_EQ(s.Members()[0].second.IntegerValue(), 9);
    EXPECT_EQ(s.Item("k39").IntegerValue(), 39);
    RpcStruct copy = s;
    copy.AddInteger("k0", 100);
    EXPECT_EQ(copy.Item("k0").IntegerValue(), 100);
    EXPECT_EQ(s.Item("k0").IntegerValue(), 0) << "a copied struct has its own index";
}

TEST(TessaryValue, ListsCountFromOne) {
    RpcArray a;
    a.AddString("x");
    a.AddInteger(2);
    EXPECT_EQ(a.Item(0).Type(), RpcType::Empty);
    EXPECT_EQ(a.Item(1).StringValue(), "x");
    EXPECT_EQ(a.Item(2).IntegerValue(), 2);
    EXPECT_EQ(a.Item(3).Type(), RpcType::Empty);
    RpcParamList p;
    p.AddBoolean(true);
    EXPECT_EQ(p.Count(), 1u);
    EXPECT_TRUE(p.Item(1).BooleanValue());
    EXPECT_EQ(p.Item(2).Type(), RpcType::Empty);
}

} // namespace
