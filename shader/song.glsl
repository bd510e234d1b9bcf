// The arrangement: the song's value for one sample frame.
float song_sample(int sample_index)
{
    return 0.0;
}
