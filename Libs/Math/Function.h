#pragma once

namespace Vostrel {

// A value of type Value as a function of Domain (time in seconds as a float
// everywhere in the engine). Owners destroy it through the base.
template <typename Domain, typename Value> class Function {
public:
    virtual ~Function() {}
    virtual Value evaluate(const Domain& time) const = 0;
    virtual bool isConstant() const { return false; }
};

template <typename Value> class DerivableFunction : public Function<float, Value> {
public:
    virtual Value derivative(float time) const = 0;
};

template <typename Value> class ConstantFunction : public DerivableFunction<Value> {
public:
    explicit ConstantFunction(const Value& value) : value(value) {}

    Value evaluate(const float&) const override { return value; }
    bool isConstant() const override { return true; }
    Value derivative(float) const override { return Value(0); }

    const Value& getValue() const { return value; }

private:
    Value value;
};

} // namespace Vostrel
