# The same program in awk: the first number is the count, the values follow.
BEGIN { printf "enter the array length : " }
{
    for (f = 1; f <= NF; f++) {
        if (!counted) {
            uno = $f + 0
            counted = 1
        } else if (n < uno) {
            printf "Enter your %d number : ", n
            values[n++] = $f + 0
        }
    }
}
END {
    max = values[0] + 0
    min = max
    for (b = 0; b < uno; b++) {
        if (values[b] > max) max = values[b]
        if (values[b] < min) min = values[b]
    }
    printf "max is %d\nmin is %d\n", max, min
    for (a = 0; a < uno; a++)
        printf "%d value you have entered is : %d\n", a, values[a]
}
