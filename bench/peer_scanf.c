/* The reference peer: the same program written in the plain way, on scanf
   and printf, with no care for speed. */
#include <stdio.h>
#include <stdlib.h>

int main(void)
{
    int uno = 0, i, b, a, max, min;
    int *values;

    printf("enter the array length : ");
    scanf("%d", &uno);
    values = malloc((size_t)uno * sizeof *values);
    for (i = 0; i < uno; i++) {
        printf("Enter your %d number : ", i);
        scanf("%d", &values[i]);
    }
    max = values[0];
    min = values[0];
    for (b = 0; b < uno; b++) {
        if (values[b] > max)
            max = values[b];
        if (values[b] < min)
            min = values[b];
    }
    printf("max is %d\n", max);
    printf("min is %d\n", min);
    for (a = 0; a < uno; a++)
        printf("%d value you have entered is : %d\n", a, values[a]);
    free(values);
    return 0;
}
