#ifndef SHADER_PIECES_H
#define SHADER_PIECES_H

// The shader's pieces by file name, in the order they are joined into
// shader_source. Tools and tests use them to build kernels from real code.
struct ShaderPiece {
  const char* name;
  const char* text;
};

extern const ShaderPiece shader_pieces[];
extern const int shader_piece_count;

#endif
