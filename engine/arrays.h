#pragma once
// Sized, bounds-asserted arrays for the analysis results. Every result array is
// owned by one result object; nothing is global.

#include <algorithm>
#include <cassert>
#include <cstddef>
#include <span>
#include <vector>

namespace waveharm {

template <class T>
class Array2 {
  public:
    Array2() = default;
    Array2(std::size_t rows, std::size_t cols, T value = T{})
        : m_rows(rows), m_cols(cols), m_data(rows * cols, value) {}

    T& operator()(std::size_t r, std::size_t c) {
        assert(r < m_rows && c < m_cols && "Array2 index out of range");
        return m_data[r * m_cols + c];
    }
    const T& operator()(std::size_t r, std::size_t c) const {
        assert(r < m_rows && c < m_cols && "Array2 index out of range");
        return m_data[r * m_cols + c];
    }
    std::size_t rows() const { return m_rows; }
    std::size_t cols() const { return m_cols; }
    T* row(std::size_t r) { return m_data.data() + r * m_cols; }
    const T* row(std::size_t r) const { return m_data.data() + r * m_cols; }
    void fill(T value) { std::fill(m_data.begin(), m_data.end(), value); }
    bool empty() const { return m_data.empty(); }
    /// Every element, row after row.
    std::span<const T> values() const { return m_data; }

  private:
    std::size_t m_rows = 0;
    std::size_t m_cols = 0;
    std::vector<T> m_data;
};

template <class T>
class Array3 {
  public:
    Array3() = default;
    Array3(std::size_t n0, std::size_t n1, std::size_t n2, T value = T{})
        : m_n0(n0), m_n1(n1), m_n2(n2), m_data(n0 * n1 * n2, value) {}

    T& operator()(std::size_t a, std::size_t b, std::size_t c) {
        assert(a < m_n0 && b < m_n1 && c < m_n2 && "Array3 index out of range");
        return m_data[(a * m_n1 + b) * m_n2 + c];
    }
    const T& operator()(std::size_t a, std::size_t b, std::size_t c) const {
        assert(a < m_n0 && b < m_n1 && c < m_n2 && "Array3 index out of range");
        return m_data[(a * m_n1 + b) * m_n2 + c];
    }
    std::size_t size0() const { return m_n0; }
    std::size_t size1() const { return m_n1; }
    std::size_t size2() const { return m_n2; }
    /// The run of elements (a, b, 0..size2 − 1).
    T* row(std::size_t a, std::size_t b) {
        assert(a < m_n0 && b < m_n1 && "Array3 index out of range");
        return m_data.data() + (a * m_n1 + b) * m_n2;
    }
    const T* row(std::size_t a, std::size_t b) const {
        assert(a < m_n0 && b < m_n1 && "Array3 index out of range");
        return m_data.data() + (a * m_n1 + b) * m_n2;
    }
    void fill(T value) { std::fill(m_data.begin(), m_data.end(), value); }
    /// Every element, the last index running fastest.
    std::span<const T> values() const { return m_data; }

  private:
    std::size_t m_n0 = 0, m_n1 = 0, m_n2 = 0;
    std::vector<T> m_data;
};

}  // namespace waveharm
