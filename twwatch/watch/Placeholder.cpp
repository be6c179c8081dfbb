// Replaced by the watcher core.
namespace tw {
int twwatchPlaceholder()
{
    return 0;
}
} // namespace tw
