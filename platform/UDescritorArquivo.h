#pragma once

#include <utility>

#include <unistd.h>

// An open file descriptor, closed on every path that does not close it
// on purpose.
class TDescritorArquivo {
public:
    TDescritorArquivo() = default;
    explicit TDescritorArquivo(int pDescritor) : v(pDescritor) {}
    TDescritorArquivo(TDescritorArquivo&& pOutro) noexcept : v(std::exchange(pOutro.v, -1)) {}
    TDescritorArquivo& operator=(TDescritorArquivo&& pOutro) noexcept
    {
        std::swap(v, pOutro.v);
        return *this;
    }
    TDescritorArquivo(const TDescritorArquivo&) = delete;
    TDescritorArquivo& operator=(const TDescritorArquivo&) = delete;
    ~TDescritorArquivo()
    {
        if (v >= 0)
            ::close(v);
    }

    int get() const { return v; }
    bool FAberto() const { return v >= 0; }
    // Closes now; the result of close, as a write error may only show there.
    int FFecha() { return ::close(std::exchange(v, -1)); }

private:
    int v = -1;
};
